#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "common/test_support.h"
#include "volume/raw_disk_io.h"

using namespace skelvar;
namespace fs = std::filesystem;

TEST(RawDiskIo, OpenFailuresLeaveAReaderThatReadsNothing) {
    const fs::path dir = testing_support::scratch_dir("rawio");
    std::vector<std::uint8_t> buf(512);
    std::uint32_t count = 512;

    RAW_DISK_IO missing((dir / "absent.img").string(), RAW_DISK_IO::kind_image);
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.open_error(), "No such file or directory\n");
    EXPECT_EQ(missing.size(), 0u);
    EXPECT_FALSE(missing.read(buf.data(), count, 0));
    EXPECT_FALSE(missing.read_direct(buf.data(), count, 0));

    EXPECT_FALSE(RAW_DISK_IO(dir.string(), RAW_DISK_IO::kind_image).ok());
    const fs::path p = dir / "four.bin";
    std::ofstream(p, std::ios::binary) << std::string(4096, 'x');
    EXPECT_FALSE(RAW_DISK_IO(p.string(), RAW_DISK_IO::kind_vmdk).ok());
    EXPECT_FALSE(RAW_DISK_IO(p.string(), 7).ok());
    // A character device answers no size query; drive letters and far drive numbers name nothing here.
    EXPECT_EQ(RAW_DISK_IO("/dev/null", RAW_DISK_IO::kind_device).open_error(),
              "the system says nothing of its size or sector size\n");
    EXPECT_NE(RAW_DISK_IO("C:/", RAW_DISK_IO::kind_volume).open_error().find("drive letter"), std::string::npos);
    EXPECT_FALSE(RAW_DISK_IO(25).ok());
    fs::remove_all(dir);
}
