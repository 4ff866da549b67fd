// skelvar's body file of the basic volume, read by The Sleuth Kit's mactime and compared with the body
// file TSK itself made of the same volume (tests/fixtures/data/basic.body.txt, `fls -r -m /`).
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "oracle_text.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace oracle_text;

namespace {

using times4 = std::array<std::int64_t, 4>;  // access, modify, change, create

struct body_view {
    std::map<std::uint64_t, std::set<times4>> si, fn;
    std::set<std::uint64_t> allocated;  // TSK's view only
    std::vector<std::string> bad_lines;
};

body_view read_skelvar_body(const std::string& text) {
    body_view v;
    bool in_table = false;
    for (const auto& line : lines_of(text)) {
        if (!in_table) {
            in_table = line.rfind("md5|name|inode|", 0) == 0;
            continue;
        }
        auto b = parse_body_line(line);
        auto inode = b ? parse_int(b->inode) : std::nullopt;
        if (!b || b->cells != 11 || !inode) {
            v.bad_lines.push_back(line);
            continue;
        }
        const bool match = b->name.ends_with("SI & FN times match)");
        if (match || b->name.ends_with("SI times)")) v.si[*inode].insert(b->t);
        if (match || b->name.ends_with("FN times)")) v.fn[*inode].insert(b->t);
    }
    return v;
}

body_view read_tsk_body(const std::string& text) {
    body_view v;
    for (const auto& line : lines_of(text)) {
        if (line[0] == '#') continue;
        auto b = parse_body_line(line);
        if (!b) continue;
        auto inode = parse_int(b->inode.substr(0, b->inode.find('-')));
        if (!inode || b->name.rfind("/$OrphanFiles", 0) == 0) continue;
        for (auto& t : b->t)
            if (t == tsk_zero_filetime) t = 0;
        const bool deleted = b->name.find("(deleted") != std::string::npos;
        if (!deleted) v.allocated.insert(*inode);
        if (b->name.find(" ($FILE_NAME)") != std::string::npos) v.fn[*inode].insert(b->t);
        else v.si[*inode].insert(b->t);
    }
    return v;
}

std::string text_of(const std::set<times4>& s) {
    std::ostringstream o;
    for (const auto& t : s) o << "[" << t[0] << " " << t[1] << " " << t[2] << " " << t[3] << "]";
    return s.empty() ? "<none>" : o.str();
}

class BodyFileOracle : public ::testing::Test {
protected:
    void SetUp() override {
        if (run_shell("command -v mactime").exit_code != 0) GTEST_SKIP() << "The Sleuth Kit's mactime is not installed";
        dir_ = scratch_dir("body-oracle");
        const fs::path mft = gunzip_to(fixture("basic.mft.gz"), dir_);
        body_ = dir_ / "body.txt";
        const run_result r = run_skelvar({"-mftfile", mft.string(), "-bodyfile", "-quiet", "-out", body_.string()});
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }
    fs::path dir_, body_;
};

}  // namespace

TEST_F(BodyFileOracle, MactimeReadsItWithoutComplaint) {
    const run_result plain = run_shell("mactime -b '" + body_.string() + "' -z UTC </dev/null");
    EXPECT_EQ(plain.exit_code, 0);
    EXPECT_EQ(plain.err, "");
    EXPECT_GT(lines_of(plain.out).size(), 100u);
    const body_view ours = read_skelvar_body(read_file(body_));
    EXPECT_TRUE(ours.bad_lines.empty()) << ours.bad_lines.size() << " lines without 11 cells, first: "
                                        << ours.bad_lines.front();
}

TEST_F(BodyFileOracle, SiAndFnTimesOfAllocatedEntriesMatchSleuthKit) {
    const body_view tsk = read_tsk_body(read_file(fixture("basic.body.txt")));
    const body_view ours = read_skelvar_body(read_file(body_));
    ASSERT_GT(tsk.allocated.size(), 100u);

    std::vector<std::string> problems;
    for (std::uint64_t inode : tsk.allocated) {
        auto si_tsk = tsk.si.find(inode);
        auto si_ours = ours.si.find(inode);
        const std::set<times4> none;
        const auto& a = si_tsk == tsk.si.end() ? none : si_tsk->second;
        const auto& b = si_ours == ours.si.end() ? none : si_ours->second;
        if (a != b) problems.push_back("entry " + std::to_string(inode) + " SI: tsk " + text_of(a) + " skelvar " + text_of(b));
        // TSK lists the $FILE_NAME of the names it shows; each must be among skelvar's.
        auto fn_tsk = tsk.fn.find(inode);
        if (fn_tsk == tsk.fn.end()) continue;
        auto fn_ours = ours.fn.find(inode);
        for (const auto& t : fn_tsk->second)
            if (fn_ours == ours.fn.end() || !fn_ours->second.count(t))
                problems.push_back("entry " + std::to_string(inode) + " FN " + text_of({t}) + " missing from skelvar's " +
                                   (fn_ours == ours.fn.end() ? "<none>" : text_of(fn_ours->second)));
    }
    EXPECT_TRUE(problems.empty()) << problems.size() << " mismatch(es), first: " << problems.front();
}

// Every named data stream TSK lists ("file:stream", type 128) has its line: same entry, size and SI times.
TEST(BodyFileStreams, EveryNamedStreamOfFlsHasItsLine) {
    struct source {
        const char* fixture;
        const char* option;
        const char* tsk;
    };
    for (const source& s : {source{"basic.mft.gz", "-mftfile", "basic.body.txt"},
                            source{"basic.img.gz", "-image", "basic.body.txt"}}) {
        SCOPED_TRACE(s.fixture);
        const fs::path dir = scratch_dir("body-streams");
        const fs::path body = dir / "body.txt";
        const run_result r = run_skelvar(
            {s.option, gunzip_to(fixture(s.fixture), dir).string(), "-bodyfile", "-quiet", "-out", body.string()});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        std::set<std::string> ours;  // "inode|name|size|times"
        for (const auto& line : lines_of(read_file(body))) {
            const auto f = split(line, '|');
            if (f.size() != 11 || !f[1].ends_with(" SI times)")) continue;
            const std::string name = f[1].substr(0, f[1].rfind(" ("));
            ours.insert(f[2] + "|" + name + "|" + f[6] + "|" + f[7] + " " + f[8] + " " + f[9] + " " + f[10]);
        }
        int checked = 0;
        for (const auto& line : lines_of(read_file(fixture(s.tsk)))) {
            const auto b = parse_body_line(line);
            if (line[0] == '#' || !b || b->cells != 11 || b->inode.find("-128-") == std::string::npos) continue;
            const std::string& path = b->name;
            if (path.find(':', path.rfind('/')) == std::string::npos || path.find("(deleted") != std::string::npos ||
                path.starts_with("/$OrphanFiles"))
                continue;
            std::string name = "[root]" + path;
            std::replace(name.begin(), name.end(), '/', '\\');
            std::string times;
            for (std::int64_t t : b->t) times += (times.empty() ? "" : " ") + std::to_string(t == tsk_zero_filetime ? 0 : t);
            const std::string want = b->inode.substr(0, b->inode.find('-')) + "|" + name + "|" + split(line, '|')[6] + "|" + times;
            EXPECT_TRUE(ours.count(want)) << want;
            ++checked;
        }
        EXPECT_GE(checked, 5);
        fs::remove_all(dir);
    }
}
