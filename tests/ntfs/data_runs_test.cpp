#include <gtest/gtest.h>

#include "ntfs/data_runs.h"

using namespace skelvar;

namespace {

// A minimal non-resident attribute header followed by the run list.
std::vector<std::uint8_t> attribute_with_runs(std::vector<std::uint8_t> runs, std::uint64_t start_vcn = 0) {
    std::vector<std::uint8_t> a(0x40, 0);
    a.insert(a.end(), runs.begin(), runs.end());
    a.push_back(0);
    a.resize((a.size() + 7) & ~std::size_t(7));
    a[0] = 0x80;
    a[4] = static_cast<std::uint8_t>(a.size());
    a[8] = 1;
    for (int i = 0; i < 8; ++i) a[0x10 + i] = static_cast<std::uint8_t>(start_vcn >> (8 * i));
    a[0x20] = 0x40;
    return a;
}

std::vector<compact_run> decode(std::vector<std::uint8_t> runs) {
    auto a = attribute_with_runs(std::move(runs));
    std::vector<compact_run> out;
    EXPECT_TRUE(decode_compact_runs(kavo::binary_data(a), out));
    return out;
}

}  // namespace

TEST(RunList, PositiveNegativeSparseAndLcnZero) {
    // 0x18 clusters at 0x5634, then 0x10 clusters 0x10 back, then a sparse hole.
    auto runs = decode({0x21, 0x18, 0x34, 0x56, 0x11, 0x10, 0xF0, 0x01, 0x05});
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].lcn, 0x5634u);
    EXPECT_EQ(runs[0].count, 0x18u);
    EXPECT_EQ(runs[1].lcn, 0x5624u);
    EXPECT_EQ(runs[1].vcn, 0x18u);
    EXPECT_EQ(runs[2].sparse, 1u);
    EXPECT_EQ(runs[2].vcn, 0x28u);

    // A first run at LCN 0 with offset bytes is real; a later zero offset is sparse.
    auto zero = decode({0x11, 0x04, 0x00, 0x11, 0x02, 0x00});
    ASSERT_EQ(zero.size(), 2u);
    EXPECT_EQ(zero[0].sparse, 0u);
    EXPECT_EQ(zero[0].lcn, 0u);
    EXPECT_EQ(zero[1].sparse, 1u);

    EXPECT_EQ(vcn_to_lcn(runs, 0x19).lcn, 0x5625u);
    EXPECT_FALSE(vcn_to_lcn(runs, 0x2D).found);
}

TEST(RunList, HostileListsStopCleanly) {
    // An entry longer than what is left ends the decode with what was read.
    auto cut = decode({0x21, 0x18, 0x34, 0x56, 0x88, 0x01});
    EXPECT_EQ(cut.size(), 1u);
    // Offsets past the attribute, a zero length and an empty attribute.
    std::vector<std::uint8_t> a = attribute_with_runs({0x11, 0x01, 0x01});
    a[0x20] = 0xF0;
    std::vector<compact_run> out;
    EXPECT_TRUE(decode_compact_runs(kavo::binary_data(a), out));
    EXPECT_TRUE(out.empty());
    a[4] = 0;
    EXPECT_FALSE(decode_compact_runs(kavo::binary_data(a), out));
    EXPECT_FALSE(decode_compact_runs(kavo::binary_data(), out));
}
