// Disk images: the volume skelvar suggests, and the walk over it, against The Sleuth Kit's view.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "oracle_text.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace oracle_text;

namespace {

// The byte offset named by "use option [-offset 0x...]", or the value of a bare volume (0).
std::uint64_t suggested_offset(const std::string& err) {
    const std::string tag = "use option [-offset 0x";
    const auto at = err.find(tag);
    return at == std::string::npos ? 0 : std::stoull(err.substr(at + tag.size()), nullptr, 16);
}

}  // namespace

// For every disk fixture: skelvar names the NTFS volume to use; over it, the walk equals the walk of the
// $MFT that TSK's icat extracts, and every allocated name TSK's fls lists is there with its entry number.
TEST(ImageSource, DiskFixturesAgreeWithTheSleuthKit) {
    if (run_shell("command -v fls && command -v icat").exit_code != 0) GTEST_SKIP() << "The Sleuth Kit is not installed";
    const fs::path dir = scratch_dir("disk-oracle");
    const std::map<std::string, std::uint64_t> expected = {
        {"disk_mbr", 0x6500000}, {"disk_ext", 0x2b00000}, {"disk_gpt", 0x100000}, {"disk_4k", 0x100000}};
    for (const auto& [name, want_offset] : expected) {
        SCOPED_TRACE(name);
        const fs::path disk = gunzip_to(fixture(name + ".img.gz"), dir);
        const auto probe = run_skelvar({"-image", disk.string(), "-quiet"});
        const std::uint64_t offset = suggested_offset(probe.err);
        EXPECT_EQ(offset, want_offset) << probe.err;
        const std::string off_hex = "0x" + [&] { std::ostringstream o; o << std::hex << offset; return o.str(); }();
        const std::string sectors = std::to_string(offset / 512);

        const fs::path mft = dir / (name + ".mft");
        ASSERT_EQ(run_shell("icat -o " + sectors + " '" + disk.string() + "' 0 > '" + mft.string() + "'").exit_code, 0);
        auto from_img = run_skelvar({"-image", disk.string(), "-offset", off_hex, "-csv", "-base10", "-quiet"});
        auto from_mft = run_skelvar({"-mftfile", mft.string(), "-csv", "-base10", "-quiet"});
        ASSERT_EQ(from_img.exit_code, 0) << from_img.err;
        EXPECT_EQ(body_of(from_img.out), body_of(from_mft.out));

        std::set<std::pair<std::string, std::string>> seen;  // entry number, path + name
        for (const auto& line : lines_of(body_of(from_img.out)))
            if (const auto c = split(line, ','); c.size() >= 13) seen.insert({c[0], c[12] + c[11]});
        const auto fls = run_shell("fls -r -p -o " + sectors + " '" + disk.string() + "'");
        int checked = 0;
        for (const fls_name& n : parse_fls(fls.out)) {
            if (n.deleted || n.is_virtual) continue;  // a deleted name may have lost its record
            std::string win = "[root]\\" + n.path;
            std::replace(win.begin(), win.end(), '/', '\\');
            EXPECT_TRUE(seen.count({std::to_string(n.entry), win})) << n.fields[0] << " " << n.path;
            ++checked;
        }
        EXPECT_GE(checked, 12);
    }
    fs::remove_all(dir);
}
