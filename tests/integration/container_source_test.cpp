// Containers of the basic disk (tests/fixtures/make_container_images.sh): each reads as the disk it was made
// from, so its walk equals the walk of the bare volume, and each snapshot equals that volume after the same write.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "oracle_text.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace oracle_text;

namespace {

std::string rows(std::vector<std::string> args) {
    args.push_back("-action_include_header");
    return csv_rows(args);
}

class ContainerSource : public ::testing::Test {
protected:
    void SetUp() override { dir_ = scratch_dir("containers"); }
    void TearDown() override { fs::remove_all(dir_); }
    std::string unpack(const std::string& name) { return gunzip_to(fixture(name + ".gz"), dir_).string(); }

    // The volume after the write the snapshots received (its place on the disk is in containers.txt).
    std::string written_volume() {
        std::uint64_t at = 0, length = 0;
        for (const std::string& line : lines_of(read_file(fixture("containers.txt"))))
            if (const auto c = split(line, '\t'); c.size() >= 3 && c[0] == "write") {
                at = std::stoull(c[1]) - 0x100000;
                length = std::stoull(c[2]);
            }
        EXPECT_GT(length, 0u);
        const std::string path = unpack("basic.img");
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(at));
        f << std::string(length, 'A');
        return path;
    }

    fs::path dir_;
};

}  // namespace

TEST_F(ContainerSource, EveryContainerWalksLikeTheVolumeItHolds) {
    const std::string want = rows({"-image", unpack("basic.img")});
    ASSERT_GT(lines_of(want).size(), 200u);
    // Every container's bytes are compared with the tools' in ContainerRead; here the options that open them.
    const std::string base = unpack("containers_base.vmdk");
    EXPECT_EQ(rows({"-image", base, "-offset", "0x100000"}), want);
    EXPECT_EQ(rows({"-vmdk", base, "-offset", "0x100000"}), want);
    // Partition detection runs on the guest disk as on a dd image.
    const run_result probe = run_skelvar({"-image", unpack("containers.E01"), "-quiet"});
    EXPECT_NE(probe.err.find("volume offset [ 0x100000 ] : ntfs or exfat\n\nuse option [-offset 0x100000]"),
              std::string::npos) << probe.err;
}

TEST_F(ContainerSource, SnapshotsReadOverTheirParents) {
    const std::string base = unpack("containers_base.vmdk");
    const std::string child = unpack("containers_child.vmdk");
    const std::string want = rows({"-image", written_volume()});
    EXPECT_NE(want.find("41 41 41 41 41 41"), std::string::npos);

    EXPECT_EQ(rows({"-vmdk", child + " | " + base, "-offset", "0x100000"}), want);
    EXPECT_EQ(rows({"-vmdk", base + "," + child, "-offset", "0x100000"}), want);  // any order
    // -image follows the parents a snapshot names (the qcow2 and VHD children: ContainerRead).
    EXPECT_EQ(rows({"-image", child, "-offset", "0x100000"}), want);
}

TEST_F(ContainerSource, VmdkChainFailuresNameTheirCause) {
    const std::string base = unpack("containers_base.vmdk");
    const std::string child = unpack("containers_child.vmdk");
    const std::string d = dir_.string() + "/";

    // A child whose descriptor names another parent CID.
    std::string bytes = read_file(child);
    const auto at = bytes.find("parentCID=");
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at + 10, 8, "0badc1d0");
    std::ofstream(d + "forged.vmdk", std::ios::binary) << bytes;
    // A base cut short: its grain tables lie past the end.
    std::ofstream(d + "cut.vmdk", std::ios::binary) << read_file(base).substr(0, 14 * 1024);
    std::ofstream(d + "flat.vmdk") << "# Disk DescriptorFile\nversion=1\nCID=fffffffe\nparentCID=ffffffff\n"
                                      "RW 18432 FLAT \"flat-flat.vmdk\" 0\n";

    const struct {
        std::string list;
        std::string said;
    } cases[] = {
        {child, "=> vmdk file: " + child + "\n depends on parent vmdk " + base + "\nsuggested array: -vmdk \"" +
                    child + " | " + base + "\"\n"},
        {d + "forged.vmdk|" + base, "Child VMDK CID errors, aborting\n" + d + "forged.vmdk\n"},
        {d + "cut.vmdk", d + "cut.vmdk can't be opened\n  grain table 0 at sector"},
        {d + "flat.vmdk", d + "flat.vmdk can't be opened\n  a descriptor file: flat and split VMDKs are not read"},
    };
    for (const auto& c : cases) {
        const run_result r = run_skelvar({"-vmdk", c.list, "-quiet"});
        EXPECT_EQ(r.exit_code, 255) << c.list;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err << "\n---\n" << c.said;
    }
    fs::remove(base);
    const run_result r = run_skelvar({"-vmdk", child, "-quiet"});
    EXPECT_NE(r.err.find("Child VMDK points to a parent VMDK that doesn't exist, aborting\n" + base + "\n"),
              std::string::npos) << r.err;
}
