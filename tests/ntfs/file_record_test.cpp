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
    EXPECT_EQ(validate_and_fixup(r, 512), record_status::ok);
    EXPECT_EQ(r[510], 0xAB);
    EXPECT_EQ(r[1022], 0);

    // A torn sector (tail no longer the USN) is used as it stands, fixups still applied.
    auto torn = record_builder().resident(0x80, 0, std::vector<std::uint8_t>(900, 0xAB)).build();
    put16(torn, 510, 0x9999);
    EXPECT_EQ(validate_and_fixup(torn, 512), record_status::ok);
    EXPECT_EQ(torn[510], 0xAB);
}

TEST(Fixups, HeaderChecksAndSignatures) {
    auto base = record_builder().build();

    auto older = base;
    put16(older, 0x04, 0x2A);  // older layout's update sequence offset
    EXPECT_EQ(validate_and_fixup(older, 512), record_status::unreadable);

    auto too_many = base;
    put16(too_many, 0x06, 10);
    EXPECT_EQ(validate_and_fixup(too_many, 512), record_status::unreadable);

    // A count of 9 on a 1024-byte record only touches the two sectors that exist.
    auto nine = base;
    put16(nine, 0x06, 9);
    EXPECT_EQ(validate_and_fixup(nine, 512), record_status::ok);

    auto zero = base;
    put16(zero, 0x06, 0);
    EXPECT_EQ(validate_and_fixup(zero, 512), record_status::ok);
    EXPECT_EQ(zero[510], 0x42);  // nothing applied

    auto late_attrs = base;
    put16(late_attrs, 0x14, 0x50);
    EXPECT_EQ(validate_and_fixup(late_attrs, 512), record_status::unreadable);

    auto bad = base;
    std::memcpy(bad.data(), "BAAD", 4);
    EXPECT_EQ(validate_and_fixup(bad, 512), record_status::bad);
    EXPECT_EQ(bad[510], 0x42);  // no fixups on a bad record

    auto junk = base;
    std::memcpy(junk.data(), "JUNK", 4);
    EXPECT_EQ(validate_and_fixup(junk, 512), record_status::unreadable);

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
}

TEST(ReadFileRecord, ZeroCountInRecordZeroFailsEveryRead) {
    auto image = testing_support::mft_image({{}, record_builder().build()});
    put16(image, 0x06, 0);
    mft_entries_ctx ctx;
    ctx.source = std::make_unique<memory_mft_source>(image);
    std::vector<std::uint8_t> out;
    EXPECT_EQ(read_file_record(ctx, 1, out), record_status::unreadable);
    EXPECT_EQ(read_file_record(ctx, 0, out), record_status::unreadable);
}
