#include <gtest/gtest.h>

#include <cstring>

#include "common/mft_fixture.h"
#include "common/test_support.h"
#include "ntfs/attribute_iterator.h"
#include "ntfs/file_record.h"
#include "ntfs/record_header.h"

using namespace skelvar;
using testing_support::mft_fixture;
using testing_support::record_builder;

namespace {

void put16(std::vector<std::uint8_t>& r, std::size_t off, std::uint16_t v) {
    r[off] = v & 0xFF;
    r[off + 1] = v >> 8;
}

}  // namespace

TEST(Fixups, SectorTailsRestoredAndTornSectorsCounted) {
    auto r = record_builder().resident(0x80, 0, std::vector<std::uint8_t>(900, 0xAB)).build();
    auto torn = r;
    std::uint32_t count = 7;
    EXPECT_EQ(validate_and_fixup(r, 512, &count), record_status::ok);
    EXPECT_EQ(r[510], 0xAB);
    EXPECT_EQ(count, 0u);
    // A torn sector (tail no longer the USN) is used as it stands, fixups still applied.
    put16(torn, 510, 0x9999);
    EXPECT_EQ(validate_and_fixup(torn, 512, &count), record_status::ok);
    EXPECT_EQ(torn[510], 0xAB);
    EXPECT_EQ(count, 1u);
}

TEST(Fixups, HeaderChecksAndSignatures) {
    struct field_case {
        std::size_t at;
        std::uint16_t value;
        record_status expected;
    };
    // 0x2A is the older layout's update sequence offset, not read yet; a count of 9 on
    // a 1024-byte record only touches the two sectors that exist.
    for (const field_case& c : {field_case{0x04, 0x2A, record_status::unreadable},
                                field_case{0x06, 10, record_status::unreadable},
                                field_case{0x06, 9, record_status::ok},
                                field_case{0x14, 0x50, record_status::unreadable}}) {
        auto r = record_builder().build();
        put16(r, c.at, c.value);
        EXPECT_EQ(validate_and_fixup(r, 512), c.expected) << c.at << "=" << c.value;
    }
    for (const char* sig : {"BAAD", "JUNK"}) {
        auto r = record_builder().build();
        std::memcpy(r.data(), sig, 4);
        EXPECT_EQ(validate_and_fixup(r, 512), sig[0] == 'B' ? record_status::bad : record_status::unreadable);
        EXPECT_EQ(r[510], 0x42) << sig;  // no fixups on a record that is not FILE
    }
    // Carved from free clusters, a BAAD record is fixed up when its header is a valid FILE header.
    auto baad = record_builder().build();
    std::memcpy(baad.data(), "BAAD", 4);
    auto broken = baad;
    put16(broken, 0x06, 10);
    EXPECT_EQ(validate_and_fixup(baad, 512, nullptr, baad_records::fixed_up), record_status::bad);
    EXPECT_NE(baad[510], 0x42);
    EXPECT_EQ(validate_and_fixup(broken, 512, nullptr, baad_records::fixed_up), record_status::unreadable);
}

TEST(RecordHeader, FieldsOfRealRecords) {
    struct expected {
        const char* file;
        std::uint64_t lsn;
        std::uint16_t sequence, links, next_id;
        std::uint32_t used, number;
    };
    for (const expected& x : {expected{"frs.bin", 0x1e5b841, 2, 1, 6, 0x218, 11072},
                              expected{"frs-81151.bin", 0x1250a72c9, 4, 1, 5, 0x200, 81151},
                              expected{"frs_ea.bin", 0x1851fd321, 17, 2, 9, 0x288, 175975}}) {
        const auto bytes = testing_support::shared_sample(x.file);
        SKIP_WITHOUT_SAMPLE(!bytes.empty(), x.file);
        const file_record_header h = read_record_header(kavo::binary_data(bytes));
        EXPECT_TRUE(h.valid_file()) << x.file;
        EXPECT_EQ(h.logfile_sequence, x.lsn) << x.file;
        EXPECT_EQ(h.sequence, x.sequence) << x.file;
        EXPECT_EQ(h.link_count, x.links) << x.file;
        EXPECT_EQ(h.bytes_used, x.used) << x.file;
        EXPECT_TRUE(h.in_use() && !h.is_directory() && !h.is_extension()) << x.file;
        EXPECT_EQ(h.entry_number_or(0), x.number) << x.file;
    }
}

TEST(RecordHeader, OlderLayoutAndShortBuffers) {
    auto r = record_builder().build();
    put16(r, 0x04, 0x2A);
    const file_record_header h = read_record_header(kavo::binary_data(r));
    EXPECT_FALSE(h.has_record_number);
    EXPECT_EQ(h.entry_number_or(77), 77u);  // the entry number then comes from the position
    EXPECT_FALSE(h.valid_file());
    r.resize(0x20);  // cut inside the header: never a valid record
    EXPECT_FALSE(read_record_header(kavo::binary_data(r)).valid_file());
}

TEST(AttributeIterator, RealRecordAndHostileLengths) {
    auto bytes = testing_support::shared_sample("frs_ea.bin");
    SKIP_WITHOUT_SAMPLE(!bytes.empty(), "frs_ea.bin");
    ASSERT_EQ(validate_and_fixup(bytes, 512), record_status::ok);
    std::vector<std::pair<std::uint32_t, std::uint16_t>> seen;
    attribute_iterator it(kavo::binary_data(bytes), 0x38);
    for (attribute_view a; it.next(a);) {
        seen.emplace_back(a.type, a.id);
        EXPECT_FALSE(a.header_truncated);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<std::uint32_t, std::uint16_t>>{
                        {0x10, 0}, {0x30, 8}, {0x30, 7}, {0x80, 1}, {0xD0, 3}, {0xE0, 4}}));

    // A non-resident header cut short by the attribute's length is flagged.
    std::vector<std::uint8_t> short_nr(0x20, 0);
    short_nr[0] = 0x80;
    short_nr[4] = 0x20;
    short_nr[8] = 1;
    auto r = record_builder().raw(short_nr).build();
    attribute_iterator cut(kavo::binary_data(r), 0x38);
    attribute_view a;
    ASSERT_TRUE(cut.next(a));
    EXPECT_TRUE(a.header_truncated);
}

TEST(MftReader, RecordSizeFromRecordZero) {
    for (std::uint32_t size : {1024u, 4096u}) {
        mft_fixture f({{}, record_builder(size).sequence(7).build()}, size);
        std::vector<std::uint8_t> out;
        EXPECT_EQ(f.records.read_record(1, out), record_status::ok) << size;
        EXPECT_EQ(f.records.record_size(), size);
        EXPECT_EQ(out[0x10], 7);
        EXPECT_EQ(f.records.read_record(2, out), record_status::unreadable);  // past the end
        EXPECT_EQ(f.records.read_record(~0ull, out), record_status::unreadable);
    }
}
