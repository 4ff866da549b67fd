#include "select/signature_tests.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace skelvar;

namespace {

using bytes = std::vector<std::uint8_t>;

bytes with_prefix(const void* prefix, std::size_t n, std::size_t size) {
    bytes b(size, 0);
    std::memcpy(b.data(), prefix, std::min(n, size));
    return b;
}

void put16(bytes& b, std::size_t off, std::uint16_t v) {
    b[off] = static_cast<std::uint8_t>(v);
    b[off + 1] = static_cast<std::uint8_t>(v >> 8);
}

// An MZ image with a PE header at `e` and the given optional-header magic.
bytes pe_image(std::uint16_t magic, std::uint32_t e = 0x80, std::size_t size = 0x200) {
    bytes b = with_prefix("MZ", 2, size);
    for (int i = 0; i < 4; ++i) b[60 + i] = static_cast<std::uint8_t>(e >> (8 * i));
    const std::uint64_t at = e;
    if (at + 4 <= size) std::memcpy(b.data() + at, "PE\0\0", 4);
    if (at + 26 <= size) put16(b, at + 24, magic);
    return b;
}

}  // namespace

TEST(Signatures, MzNeedsSixtyFourBytes) {
    EXPECT_FALSE(is_mz(with_prefix("MZ", 2, 63)));
    EXPECT_TRUE(is_mz(with_prefix("MZ", 2, 64)));
    EXPECT_FALSE(is_mz(with_prefix("ZM", 2, 64)));

    bytes dos = with_prefix("MZ", 2, 64);
    EXPECT_FALSE(is_16bit_mz(dos));  // the word at 6 is 0
    put16(dos, 6, 3);
    put16(dos, 24, 0x1C);
    EXPECT_TRUE(is_16bit_mz(dos));
    put16(dos, 24, 0x40);  // relocation table where a PE image keeps it
    EXPECT_FALSE(is_16bit_mz(dos));
}

TEST(Signatures, Pe32AndPe32PlusAreTold) {
    const bytes pe32 = pe_image(0x10B), pe64 = pe_image(0x20B), rom = pe_image(0x107);
    EXPECT_TRUE(is_pe32(pe32) && !is_pe64(pe32));
    EXPECT_TRUE(is_pe64(pe64) && !is_pe32(pe64));
    EXPECT_TRUE(is_pe(pe32) && is_pe(pe64) && is_pe(rom));
    EXPECT_FALSE(is_pe32(rom) || is_pe64(rom));
    // The PE header plus 24 + 224 bytes must lie inside the sample.
    EXPECT_TRUE(is_pe(pe_image(0x10B, 0x200 - 248)));
    EXPECT_FALSE(is_pe(pe_image(0x10B, 0x200 - 247)));
    EXPECT_FALSE(is_pe(pe_image(0x10B, 0xFFFFFFF0u)));  // an offset far outside
}

TEST(Signatures, SixteenByteHeaders) {
    const std::uint8_t evt[] = {0x30, 0, 0, 0, 0x4C, 0x66, 0x4C, 0x65};
    const std::uint8_t lnk[] = {0x4C, 0, 0, 0, 0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0};
    EXPECT_TRUE(is_hive(with_prefix("regf", 4, 16)));
    EXPECT_FALSE(is_hive(with_prefix("regf", 4, 15)));
    EXPECT_TRUE(is_event_log(with_prefix(evt, sizeof evt, 16)));
    EXPECT_TRUE(is_event_log(with_prefix("ElfFile", 7, 16)));
    EXPECT_TRUE(is_sqlite(with_prefix("SQLite format 3", 15, 16)));
    EXPECT_FALSE(is_sqlite(with_prefix("SQLite", 6, 12)));
    EXPECT_TRUE(is_lnk(with_prefix(lnk, sizeof lnk, 16)));
    bytes almost = with_prefix(lnk, sizeof lnk, 16);
    almost[12] = 0xC1;
    EXPECT_FALSE(is_lnk(almost));
}
