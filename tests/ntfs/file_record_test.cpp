#include <gtest/gtest.h>

#include <cstring>

#include "app/mft_entries_ctx.h"
#include "common/record_builder.h"
#include "ntfs/file_record.h"
#include "ntfs/memory_mft_source.h"

using namespace skelvar;
using testing_support::record_builder;

namespace {

void put16(std::vector<std::uint8_t>& r, std::size_t off, std::uint16_t v) {
    r[off] = v & 0xFF;
    r[off + 1] = v >> 8;
}

}  // namespace

TEST(Fixups, RestoreSectorTailsEvenWhenTorn) {
    auto r = record_builder().resident(0x80, 0, std::vector<std::uint8_t>(900, 0xAB)).build();
    // The stamped tails hold the USN; fixups bring back the saved bytes.
    EXPECT_EQ(r[510], 0x42);
    auto torn = r;
    EXPECT_EQ(validate_and_fixup(r, 512), record_status::ok);
    EXPECT_EQ(r[510], 0xAB);
    EXPECT_EQ(r[1022], 0);

    // A torn sector (tail no longer the USN) is used as it stands, fixups still applied.
    put16(torn, 510, 0x9999);
    EXPECT_EQ(validate_and_fixup(torn, 512), record_status::ok);
    EXPECT_EQ(torn[510], 0xAB);
}

TEST(Fixups, HeaderChecksAndSignatures) {
    struct field_case {
        std::size_t at;
        std::uint16_t value;
        record_status expected;
        bool tail_restored;
    };
    // 0x2A is the older layout's update sequence offset; a count of 9 on a 1024-byte record
    // only touches the two sectors that exist; a count of 0 applies nothing.
    for (const field_case& c : {field_case{0x04, 0x2A, record_status::unreadable, false},
                                field_case{0x06, 10, record_status::unreadable, false},
                                field_case{0x06, 9, record_status::ok, true},
                                field_case{0x06, 0, record_status::ok, false},
                                field_case{0x14, 0x50, record_status::unreadable, false}}) {
        auto r = record_builder().build();
        put16(r, c.at, c.value);
        EXPECT_EQ(validate_and_fixup(r, 512), c.expected) << c.at << "=" << c.value;
        if (c.expected == record_status::ok) {
            EXPECT_EQ(r[510] != 0x42, c.tail_restored) << c.at << "=" << c.value;
        }
    }

    for (const char* sig : {"BAAD", "JUNK"}) {
        auto r = record_builder().build();
        std::memcpy(r.data(), sig, 4);
        EXPECT_EQ(validate_and_fixup(r, 512), sig[0] == 'B' ? record_status::bad : record_status::unreadable);
        EXPECT_EQ(r[510], 0x42) << sig;  // no fixups on a record that is not FILE
    }
    std::vector<std::uint8_t> tiny(3, 'F');
    EXPECT_EQ(validate_and_fixup(tiny, 512), record_status::unreadable);
}

TEST(ReadFileRecord, RecordSizeLearnedFromRecordZero) {
    for (std::uint32_t size : {1024u, 4096u}) {
        mft_entries_ctx ctx;
        std::vector<std::vector<std::uint8_t>> recs{{}, record_builder(size).sequence(7).build()};
        ctx.source = std::make_unique<memory_mft_source>(testing_support::mft_image(recs, size));
        std::vector<std::uint8_t> out;
        EXPECT_EQ(read_file_record(ctx, 1, out), record_status::ok) << size;
        EXPECT_EQ(ctx.record_size, size);
        EXPECT_EQ(out.size(), size);
        EXPECT_EQ(out[0x10], 7);
        EXPECT_EQ(read_file_record(ctx, 2, out), record_status::unreadable);  // past the end
        EXPECT_EQ(read_file_record(ctx, ~0ull, out), record_status::unreadable);
    }

    // A zero update sequence count in record 0 leaves no record size to learn.
    auto image = testing_support::mft_image({{}, record_builder().build()});
    put16(image, 0x06, 0);
    mft_entries_ctx ctx;
    ctx.source = std::make_unique<memory_mft_source>(image);
    std::vector<std::uint8_t> out;
    EXPECT_EQ(read_file_record(ctx, 1, out), record_status::unreadable);
    EXPECT_EQ(read_file_record(ctx, 0, out), record_status::unreadable);
}
