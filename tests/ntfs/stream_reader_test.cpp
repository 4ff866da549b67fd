#include "ntfs/stream_reader.h"

#include <gtest/gtest.h>

#include "common/record_builder.h"
#include "common/test_support.h"
#include "ntfs/synthetic_volume.h"

using namespace skelvar;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// Cluster n of the volume is filled with the byte n.
class StreamReader : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = scratch_dir("stream");
        synthetic_volume v;
        v.format();
        v.put_cluster(4, record_builder().non_resident(0x80, 0, run_list({{4, 1}}), 1024).build());
        for (std::uint8_t c = 10; c < 64; ++c) v.put_cluster(c, std::vector<std::uint8_t>(4096, c));
        vol_ = volume_on(v.write(dir_ / "v.img"));
        std::uint64_t off = 0;
        ASSERT_TRUE(open_volume(*vol_, off));
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::vector<std::uint8_t> read(const std::vector<compact_run>& runs, std::uint64_t offset, std::uint64_t length,
                                   stream_read_flags& flags) {
        std::vector<std::uint8_t> buf(static_cast<std::size_t>(length), 0x5A);
        read_stream_range(*vol_, runs, offset, buf.data(), length, flags);
        buf.resize(static_cast<std::size_t>(length));
        return buf;
    }

    fs::path dir_;
    std::unique_ptr<ntfs_volume> vol_;
};

// compact_run fields: lcn, vcn, sparse, count.
const std::vector<compact_run> two_runs_and_a_hole = {{20, 0, 0, 2}, {0, 2, 1, 2}, {30, 4, 0, 3}};

}  // namespace

TEST_F(StreamReader, RangesCrossClustersAndRuns) {
    stream_read_flags flags;
    // From inside cluster 21 (VCN 1) to inside cluster 30 (VCN 4), over the sparse VCNs 2-3.
    auto bytes = read(two_runs_and_a_hole, 4096 + 4000, 96 + 2 * 4096 + 10, flags);
    ASSERT_EQ(bytes.size(), 96u + 2 * 4096 + 10);
    EXPECT_EQ(bytes.front(), 21);
    EXPECT_EQ(bytes[95], 21);
    EXPECT_EQ(bytes[96], 0);
    EXPECT_EQ(bytes[96 + 8191], 0);
    EXPECT_EQ(bytes.back(), 30);
    EXPECT_TRUE(flags.sparse_met);

    // Without sparse clusters the hole adds nothing.
    stream_read_flags skip;
    skip.include_sparse = false;
    bytes = read(two_runs_and_a_hole, 4096 + 4000, 96 + 2 * 4096 + 10, skip);
    ASSERT_EQ(bytes.size(), 106u);
    EXPECT_EQ(bytes[95], 21);
    EXPECT_EQ(bytes[96], 30);
    EXPECT_TRUE(skip.sparse_met);
}

TEST_F(StreamReader, StopsAtUnmappedOrUnreadableClusters) {
    stream_read_flags flags;
    // VCN 7 is mapped by no run: the read ends with what came before it.
    auto bytes = read(two_runs_and_a_hole, 6 * 4096 + 100, 8192, flags);
    EXPECT_EQ(bytes.size(), 4096u - 100);
    EXPECT_EQ(bytes.back(), 32);

    // A run running off the end of the volume (64 clusters): clusters 62 and 63 come back.
    bytes = read({{62, 0, 0, 10}}, 0, 10 * 4096, flags);
    EXPECT_EQ(bytes.size(), 2u * 4096);
    EXPECT_EQ(bytes.back(), 63);

    std::uint64_t length = 100;
    std::uint8_t buf[100];
    EXPECT_FALSE(read_stream_range(*vol_, {{1ull << 40, 0, 0, 5}}, 0, buf, length, flags));
    EXPECT_EQ(length, 0u);
}

TEST_F(StreamReader, PetabyteClaimsCostOnlyTheRequestedBytes) {
    stream_read_flags flags;
    // Sparse and real runs of 2^32 clusters (16 TiB at 4 KiB) and a read far into them.
    auto bytes = read({{0, 0, 1, 0xFFFFFFFF}, {10, 0xFFFFFFFF, 0, 0xFFFFFFFF}}, 0xFFFFFFFFull * 4096 - 64, 128, flags);
    ASSERT_EQ(bytes.size(), 128u);
    EXPECT_EQ(bytes[63], 0);
    EXPECT_EQ(bytes[64], 10);

    // An offset near the top of the 64-bit range does not wrap.
    std::uint64_t length = 1 << 20;
    std::vector<std::uint8_t> buf(length);
    read_stream_range(*vol_, {{0, 0, 1, 0xFFFFFFFF}}, ~0ull - 10, buf.data(), length, flags);
    EXPECT_LE(length, 10u);
}

TEST_F(StreamReader, FirstBytes) {
    std::uint8_t buf[16] = {};
    std::uint64_t length = sizeof buf;
    ASSERT_TRUE(read_first_bytes(*vol_, {{12, 0, 0, 1}}, 0, buf, length, true));
    EXPECT_EQ(length, 16u);
    EXPECT_EQ(buf[15], 12);

    length = sizeof buf;
    EXPECT_FALSE(read_first_bytes(*vol_, {}, 0, buf, length, true));
    EXPECT_EQ(length, 0u);
    length = 0;
    EXPECT_FALSE(read_first_bytes(*vol_, {{12, 0, 0, 1}}, 0, buf, length, true));
    length = sizeof buf;
    EXPECT_FALSE(read_first_bytes(*vol_, {{12, 0, 0, 1}}, 0, nullptr, length, true));
}
