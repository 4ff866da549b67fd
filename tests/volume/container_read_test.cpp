// The flat read of every container fixture is, byte for byte, the disk that `qemu-img convert -O raw`
// (ewfexport for the E01) gives back; tests/fixtures/make_container_images.sh recorded its sha256.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "common/test_support.h"
#include "volume/raw_disk_io.h"

using namespace skelvar;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

fs::path data(const std::string& name) { return source_dir() / "tests" / "fixtures" / "data" / name; }

// Reads the whole disk in steps that straddle every grain, block and chunk boundary, and hashes what came.
std::string flat_sha256(RAW_DISK_IO& reader, const fs::path& scratch) {
    const fs::path out = scratch / "flat.raw";
    std::ofstream f(out, std::ios::binary);
    std::vector<std::uint8_t> buf(3 * 65536 + 4097);
    for (std::uint64_t at = 0; at < reader.size();) {
        std::uint32_t count = static_cast<std::uint32_t>(buf.size());
        if (!reader.read(buf.data(), count, at)) return "read failed at " + std::to_string(at);
        f.write(reinterpret_cast<const char*>(buf.data()), count);
        at += count;
    }
    f.close();
    return run_shell("sha256sum '" + out.string() + "' | cut -c1-64").out.substr(0, 64);
}

}  // namespace

TEST(ContainerRead, FlatReadIsTheDiskTheToolsGiveBack) {
    std::map<std::string, std::string> sums;
    std::istringstream recorded(read_file(data("containers.txt")));
    for (std::string tag, which, sum; recorded >> tag;)
        if (tag == "sha256" && recorded >> which >> sum) sums[which] = sum;
        else std::getline(recorded, tag);
    ASSERT_EQ(sums.size(), 2u);

    const fs::path dir = scratch_dir("flat");
    const auto unpack = [&](const std::string& name) { return gunzip_to(data(name + ".gz"), dir).string(); };
    const std::string base = unpack("containers_base.vmdk"), child = unpack("containers_child.vmdk");
    unpack("containers.qcow2");
    const struct {
        std::unique_ptr<RAW_DISK_IO> reader;
        const char* sum;
    } cases[] = {
        {std::make_unique<RAW_DISK_IO>(base, RAW_DISK_IO::kind_image), "base"},
        {std::make_unique<RAW_DISK_IO>(unpack("containers.E01"), RAW_DISK_IO::kind_image), "base"},
        {std::make_unique<RAW_DISK_IO>(unpack("containers.vhd"), RAW_DISK_IO::kind_image), "base"},
        {std::make_unique<RAW_DISK_IO>(unpack("containers_fixed.vhd"), RAW_DISK_IO::kind_image), "base"},
        {std::make_unique<RAW_DISK_IO>(unpack("containers.vhdx"), RAW_DISK_IO::kind_image), "base"},
        {std::make_unique<RAW_DISK_IO>(dir.string() + "/containers.qcow2", RAW_DISK_IO::kind_image), "base"},
        {std::make_unique<RAW_DISK_IO>(std::vector<std::string>{child, base}), "child"},
        {std::make_unique<RAW_DISK_IO>(unpack("containers_child.qcow2"), RAW_DISK_IO::kind_image), "child"},
        {std::make_unique<RAW_DISK_IO>(unpack("containers_child.vhd"), RAW_DISK_IO::kind_image), "child"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reader->image_path());
        ASSERT_TRUE(c.reader->ok()) << c.reader->open_error();
        EXPECT_NE(c.reader->container(), container_kind::raw);
        EXPECT_EQ(c.reader->size(), 9437184u);
        EXPECT_EQ(flat_sha256(*c.reader, dir), sums[c.sum]);
    }
    fs::remove_all(dir);
}
