// Attached drives: a loop device of a disk fixture reads as the image file does, in the device's own logical
// sector size, and a loop device over one partition serves -partition. Needs root and a working losetup.
#include <gtest/gtest.h>
#include <unistd.h>

#include "oracle_text.h"
#include "volume/raw_disk_io.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace oracle_text;

namespace {

struct loop_device {
    std::string path;
    loop_device(const fs::path& file, const std::string& options) {
        const run_result r = run_shell("losetup -r -f --show " + options + " '" + file.string() + "'");
        if (r.exit_code == 0) path = trim(r.out);
    }
    ~loop_device() {
        if (!path.empty()) run_shell("losetup -d " + path);
    }
};

}  // namespace

TEST(BlockDevice, LoopDevicesReadAsTheirImages) {
    if (::geteuid() != 0) GTEST_SKIP() << "attaching loop devices needs root";
    const fs::path dir = scratch_dir("loop");
    // Both disks hold a 4 MiB NTFS volume at byte 0x100000.
    for (const auto& [name, sector] : {std::pair<std::string, std::string>{"disk_mbr.img.gz", "512"},
                                       {"disk_4k.img.gz", "4096"}}) {
        SCOPED_TRACE(name);
        const fs::path image = gunzip_to(fixture(name), dir);
        const std::string want = csv_rows({"-image", image.string(), "-offset", "0x100000"});
        const loop_device disk(image, "--sector-size " + sector);
        const loop_device part(image, "--sector-size " + sector + " -o 1048576 --sizelimit 4194304");
        if (disk.path.empty() || part.path.empty()) GTEST_SKIP() << "losetup cannot attach devices here";

        EXPECT_EQ(skelvar::RAW_DISK_IO(disk.path, skelvar::RAW_DISK_IO::kind_image).bytes_per_sector(),
                  std::stoul(sector));
        EXPECT_EQ(csv_rows({"-image", disk.path, "-offset", "0x100000"}), want);
        EXPECT_EQ(csv_rows({"-partition", part.path}), want);
    }
    fs::remove_all(dir);
}
