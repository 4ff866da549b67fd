// The walk over a volume inside an image reports exactly what the walk over
// the $MFT extracted from it reports.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// The results without the header block (it names the command line).
std::string body_of(const std::string& results) {
    const auto end = results.find("\n\n");
    return end == std::string::npos ? results : results.substr(end + 2);
}

}  // namespace

TEST(ImageSource, BareVolumeAndPartitionedDiskMatchTheExtractedMft) {
    const fs::path data = source_dir() / "tests" / "fixtures" / "data";
    const fs::path dir = scratch_dir("image-source");
    const fs::path mft = gunzip_to(data / "basic.mft.gz", dir);
    const fs::path volume = gunzip_to(data / "basic.img.gz", dir);

    auto from_mft = run_skelvar({"-mftfile", mft.string(), "-csv", "-quiet", "-out", (dir / "mft.csv").string()});
    auto from_img = run_skelvar({"-image", volume.string(), "-csv", "-quiet", "-out", (dir / "img.csv").string()});
    ASSERT_EQ(from_mft.exit_code, 0) << from_mft.err;
    ASSERT_EQ(from_img.exit_code, 0) << from_img.err;
    const std::string want = body_of(read_file(dir / "mft.csv"));
    EXPECT_GT(want.size(), 1000u);
    EXPECT_EQ(body_of(read_file(dir / "img.csv")), want);

    // The same volume at sector 2048 of an MBR disk, reached with the offset skelvar suggests.
    const fs::path disk = gunzip_to(data / "disk_mbr.img.gz", dir);
    auto refused = run_skelvar({"-image", disk.string(), "-quiet"});
    EXPECT_EQ(refused.exit_code, 255);
    EXPECT_NE(refused.err.find("volume offset [ 0x100000 ] : ntfs"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("use option [-offset 0x6500000]"), std::string::npos) << refused.err;
    auto chosen = run_skelvar({"-image", disk.string(), "-offset", "0x100000", "-csv", "-quiet"});
    EXPECT_EQ(chosen.exit_code, 0) << chosen.err;
    EXPECT_NE(chosen.out.find(",$MFT,[root]\\,"), std::string::npos);
    fs::remove_all(dir);
}
