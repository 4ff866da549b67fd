#include <gtest/gtest.h>

#include <cstring>

#include "common/mft_fixture.h"
#include "common/test_support.h"
#include "ntfs/attribute_iterator.h"
#include "ntfs/file_record.h"
#include "ntfs/memory_mft_source.h"
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

// The update sequence protects every 512 bytes, whatever the record size or header layout.
TEST(Fixups, SectorTailsRestoredAndTornSectorsCounted) {
    struct layout {
        std::uint32_t size;
        bool older;
    };
    for (const layout l : {layout{1024, false}, layout{1024, true}, layout{4096, false}}) {
        record_builder b(l.size);
        if (l.older) b.older_layout();
        auto r = b.resident(0x80, 0, std::vector<std::uint8_t>(l.size - 124, 0xAB)).build();
        auto torn = r;
        std::uint32_t count = 7;
        EXPECT_EQ(validate_and_fixup(r, &count), record_status::ok);
        for (std::size_t tail = 510; tail + 2 < r.size(); tail += 512) EXPECT_EQ(r[tail], 0xAB) << l.size << " at " << tail;
        EXPECT_EQ(count, 0u);
        // A torn sector (tail no longer the USN) is used as it stands, fixups still applied.
        put16(torn, 510, 0x9999);
        EXPECT_EQ(validate_and_fixup(torn, &count), record_status::ok);
        EXPECT_EQ(torn[510], 0xAB);
        EXPECT_EQ(count, 1u);
    }
}

TEST(Fixups, HeaderChecksAndSignatures) {
    struct field_case {
        std::size_t at;
        std::uint16_t value;
        record_status expected;
    };
    // A count of 9 on a 1024-byte record only touches the two sectors that exist.
    for (const field_case& c : {field_case{0x04, 0x2C, record_status::unreadable},
                                field_case{0x06, 10, record_status::unreadable},
                                field_case{0x06, 9, record_status::ok},
                                field_case{0x14, 0x50, record_status::unreadable}}) {
        auto r = record_builder().build();
        put16(r, c.at, c.value);
        EXPECT_EQ(validate_and_fixup(r), c.expected) << c.at << "=" << c.value;
    }
    for (const char* sig : {"BAAD", "JUNK", "INDX"}) {
        auto r = record_builder().build();
        std::memcpy(r.data(), sig, 4);
        const record_status s = validate_and_fixup(r);
        EXPECT_EQ(s, sig[0] == 'B' ? record_status::bad : sig[0] == 'I' ? record_status::index_block : record_status::unreadable);
        if (s != record_status::index_block) {
            EXPECT_EQ(r[510], 0x42) << sig;  // no fixups on a record that is neither FILE nor INDX
        }
    }
    // Carved from free clusters, a BAAD record is fixed up when its header is a valid FILE header.
    auto baad = record_builder().build();
    std::memcpy(baad.data(), "BAAD", 4);
    auto broken = baad;
    put16(broken, 0x06, 10);
    EXPECT_EQ(validate_and_fixup(baad, nullptr, baad_records::fixed_up), record_status::bad);
    EXPECT_NE(baad[510], 0x42);
    EXPECT_EQ(validate_and_fixup(broken, nullptr, baad_records::fixed_up), record_status::unreadable);
}

TEST(AttributeIterator, RealRecordAndHostileLengths) {
    auto bytes = testing_support::shared_sample("frs_ea.bin");
    SKIP_WITHOUT_SAMPLE(!bytes.empty(), "frs_ea.bin");
    ASSERT_EQ(validate_and_fixup(bytes), record_status::ok);
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

// Record 0's bytes allocated (0x1C) gives the record size when it is 1024 or 4096;
// else its update sequence count does (4Kn writers may count 4096-byte sectors).
TEST(MftReader, RecordSizeFromRecordZero) {
    struct size_case {
        std::uint32_t size;
        std::uint16_t count;
        std::uint32_t allocated;
    };
    for (const size_case c : {size_case{1024, 3, 1024}, size_case{4096, 9, 4096}, size_case{4096, 2, 4096},
                              size_case{4096, 9, 0}}) {
        auto image = testing_support::mft_image({{}, record_builder(c.size).sequence(7).build()}, c.size);
        put16(image, 0x06, c.count);
        put16(image, 0x1C, static_cast<std::uint16_t>(c.allocated));
        mft_fixture f;
        f.records.attach(std::make_unique<memory_mft_source>(image));
        std::vector<std::uint8_t> out;
        EXPECT_EQ(f.records.read_record(1, out), record_status::ok) << c.size << "/" << c.count;
        EXPECT_EQ(f.records.record_size(), c.size);
        EXPECT_EQ(out[0x10], 7);
        EXPECT_EQ(f.records.read_record(2, out), record_status::unreadable);  // past the end
        EXPECT_EQ(f.records.read_record(~0ull, out), record_status::unreadable);
    }
}

// An INDX block in a record slot is no entry; a BAAD record is walked and logged.
TEST(MftReader, IndexBlockSlotsAndBaadRecords) {
    auto indx = record_builder().resident(0x30, 1, testing_support::make_fn(make_ref(5, 5), u"indx", 1, 1)).build();
    std::memcpy(indx.data(), "INDX", 4);
    auto baad = record_builder().resident(0x30, 1, testing_support::make_fn(make_ref(5, 5), u"baad", 1, 1)).build();
    std::memcpy(baad.data(), "BAAD", 4);
    mft_fixture f({{}, indx, baad});
    const auto dir = testing_support::scratch_dir("indx-slot");
    ASSERT_TRUE(f.log.open((dir / "diags.txt").string(), "test"));
    const auto names = f.walk_names();
    f.log.close();
    EXPECT_FALSE(names.count(1));
    ASSERT_TRUE(names.count(2));
    EXPECT_EQ(names.at(2), u"baad");
    const std::string log = testing_support::read_file(dir / "diags.txt");
    EXPECT_NE(log.find("err: fixup_mft type: BAAD"), std::string::npos);
    EXPECT_NE(log.find("mft entry 2 has bad filerecord"), std::string::npos);
    std::filesystem::remove_all(dir);
}
