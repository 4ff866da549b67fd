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

