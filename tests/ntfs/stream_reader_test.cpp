#include "ntfs/stream_reader.h"

#include <gtest/gtest.h>

#include "common/record_builder.h"
#include "common/test_support.h"
#include "ntfs/synthetic_volume.h"

using namespace skelvar;
using namespace testing_support;
namespace fs = std::filesystem;

// Cluster n of the volume is filled with the byte n.
TEST(StreamReader, PetabyteClaimsCostOnlyTheRequestedBytes) {
    const fs::path dir = scratch_dir("stream");
    synthetic_volume v;
    v.format();
    v.put_cluster(4, record_builder().non_resident(0x80, 0, run_list({{4, 1}}), 1024).build());
    for (std::uint8_t c = 10; c < 64; ++c) v.put_cluster(c, std::vector<std::uint8_t>(4096, c));
    const auto vol = volume_on(v.write(dir / "v.img"));
    std::uint64_t off = 0;
    ASSERT_TRUE(open_volume(*vol, off));
    stream_read_flags flags;
    // Sparse and real runs of 2^32 clusters (16 TiB at 4 KiB) and a read far into them.
    std::vector<std::uint8_t> bytes(128, 0x5A);
    std::uint64_t length = bytes.size();
    read_stream_range(*vol, {{0, 0, 1, 0xFFFFFFFF}, {10, 0xFFFFFFFF, 0, 0xFFFFFFFF}}, 0xFFFFFFFFull * 4096 - 64,
                      bytes.data(), length, flags);
    ASSERT_EQ(length, 128u);
    EXPECT_EQ(bytes[63], 0);
    EXPECT_EQ(bytes[64], 10);

    // An offset near the top of the 64-bit range does not wrap.
    length = 1 << 20;
    std::vector<std::uint8_t> buf(length);
    read_stream_range(*vol, {{0, 0, 1, 0xFFFFFFFF}}, ~0ull - 10, buf.data(), length, flags);
    EXPECT_LE(length, 10u);
    fs::remove_all(dir);
}

