// skelvar's body file of the basic volume, read by The Sleuth Kit's mactime and compared with the body
// file TSK itself made of the same volume (tests/fixtures/data/basic.body.txt, `fls -r -m /`); and the
// shape of the other layouts that tools read, on the same volume.
#include "common/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

std::vector<std::string> split(std::string_view s, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const auto pos = s.find(sep, start);
        out.emplace_back(s.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start));
        if (pos == std::string_view::npos) return out;
        start = pos + 1;
    }
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    for (auto& l : split(text, '\n'))
        if (!l.empty()) out.push_back(l);
    return out;
}

std::optional<std::int64_t> number(std::string_view s) {
    if (s.empty()) return std::nullopt;
    bool negative = s.front() == '-';
    if (negative) s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    std::int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return negative ? -v : v;
}

bool ends_with(std::string_view s, std::string_view p) { return s.size() >= p.size() && s.substr(s.size() - p.size()) == p; }

// TSK writes a FILETIME of 0 as this instant (its conversion overflows); skelvar writes 0.
constexpr std::int64_t tsk_zero = 3373865674;
constexpr std::string_view tsk_zero_iso = "2076-11-29T08:54:34Z";

using times4 = std::array<std::int64_t, 4>;  // access, modify, change, create

struct body_view {
    std::map<std::uint64_t, std::set<times4>> si, fn;
    std::set<std::uint64_t> allocated;  // TSK's view only
    std::set<std::uint64_t> piped;      // TSK's view: a name holding '|', which mactime then splits wrongly
    std::vector<std::string> bad_lines;
};

// A body line: md5|name|inode|mode|uid|gid|size|atime|mtime|ctime|crtime. A name may hold '|' in TSK's
// file, so the fields are taken from both ends.
struct body_line {
    std::string name, inode;
    times4 t{};
};

std::optional<body_line> parse_body_line(const std::string& line) {
    const auto f = split(line, '|');
    if (f.size() < 11) return std::nullopt;
    body_line b;
    const std::size_t tail = f.size() - 9;  // index of the inode field
    for (std::size_t i = 1; i < tail; ++i) b.name += (i > 1 ? "|" : "") + f[i];
    b.inode = f[tail];
    for (std::size_t k = 0; k < 4; ++k) {
        auto v = number(f[f.size() - 4 + k]);
        if (!v) return std::nullopt;
        b.t[k] = *v;
    }
    return b;
}

body_view read_skelvar_body(const std::string& text) {
    body_view v;
    bool in_table = false;
    for (const auto& line : lines_of(text)) {
        if (!in_table) {
            in_table = line.rfind("md5|name|inode|", 0) == 0;
            continue;
        }
        const auto cells = split(line, '|');
        auto b = parse_body_line(line);
        auto inode = b ? number(b->inode) : std::nullopt;
        if (cells.size() != 11 || !inode) {
            v.bad_lines.push_back(line);
            continue;
        }
        const bool match = ends_with(b->name, "(SI & FN times match)") || ends_with(b->name, "; SI & FN times match)");
        if (match || ends_with(b->name, "SI times)")) v.si[*inode].insert(b->t);
        if (match || ends_with(b->name, "FN times)")) v.fn[*inode].insert(b->t);
    }
    return v;
}

body_view read_tsk_body(const std::string& text) {
    body_view v;
    for (const auto& line : lines_of(text)) {
        if (line[0] == '#') continue;
        auto b = parse_body_line(line);
        if (!b) continue;
        auto inode = number(b->inode.substr(0, b->inode.find('-')));
        if (!inode || b->name.rfind("/$OrphanFiles", 0) == 0) continue;
        for (auto& t : b->t)
            if (t == tsk_zero) t = 0;
        const bool deleted = b->name.find("(deleted") != std::string::npos;
        if (!deleted) v.allocated.insert(*inode);
        if (b->name.find('|') != std::string::npos) v.piped.insert(*inode);
        if (b->name.find(" ($FILE_NAME)") != std::string::npos) v.fn[*inode].insert(b->t);
        else v.si[*inode].insert(b->t);
    }
    return v;
}

// mactime -d -y: Date,Size,Type,Mode,UID,GID,Meta,File Name. Per entry number, the (date, letters) rows
// of its $STANDARD_INFORMATION lines.
std::map<std::uint64_t, std::set<std::string>> mactime_si_rows(const std::string& text, bool tsk) {
    std::map<std::uint64_t, std::set<std::string>> rows;
    for (const auto& line : lines_of(text)) {
        const auto f = split(line, ',');
        if (f.size() < 8 || f[0] == "Date") continue;
        std::string name;
        for (std::size_t i = 7; i < f.size(); ++i) name += (i > 7 ? "," : "") + f[i];
        const bool si = tsk ? name.find(" ($FILE_NAME)") == std::string::npos
                            : name.find("SI times)") != std::string::npos ||
                                  name.find("SI & FN times match)") != std::string::npos;
        auto inode = number(f[6].substr(0, f[6].find('-')));
        if (!si || !inode || f[0] == tsk_zero_iso || name.rfind("\"/$OrphanFiles", 0) == 0) continue;
        rows[*inode].insert(f[0] + " " + f[2]);
    }
    return rows;
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
        const fs::path mft = gunzip_to(source_dir() / "tests" / "fixtures" / "data" / "basic.mft.gz", dir_);
        body_ = dir_ / "body.txt";
        const run_result r = run_skelvar({"-mftfile", mft.string(), "-bodyfile", "-quiet", "-out", body_.string()});
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    run_result mactime(const fs::path& body, const std::string& flags) {
        return run_shell("mactime -b '" + body.string() + "' -z UTC " + flags + " </dev/null");
    }

    fs::path dir_, body_;
};

}  // namespace

TEST_F(BodyFileOracle, MactimeReadsItWithoutComplaint) {
    const run_result plain = mactime(body_, "");
    EXPECT_EQ(plain.exit_code, 0);
    EXPECT_EQ(plain.err, "");
    EXPECT_GT(lines_of(plain.out).size(), 100u);
    const body_view ours = read_skelvar_body(read_file(body_));
    EXPECT_TRUE(ours.bad_lines.empty()) << ours.bad_lines.size() << " lines without 11 cells, first: "
                                        << ours.bad_lines.front();
}

TEST_F(BodyFileOracle, SiAndFnTimesOfAllocatedEntriesMatchSleuthKit) {
    const fs::path tsk_file = source_dir() / "tests" / "fixtures" / "data" / "basic.body.txt";
    const body_view tsk = read_tsk_body(read_file(tsk_file));
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

    // The same through mactime: the rows it makes of the SI lines of both body files.
    const run_result mine = mactime(body_, "-d -y");
    const fs::path tsk_copy = dir_ / "tsk.body";
    run_shell("grep -v '^#' '" + tsk_file.string() + "' > '" + tsk_copy.string() + "'");
    const run_result theirs = mactime(tsk_copy, "-d -y");
    ASSERT_EQ(mine.exit_code, 0);
    ASSERT_EQ(theirs.exit_code, 0);
    const auto rows_mine = mactime_si_rows(mine.out, false);
    const auto rows_theirs = mactime_si_rows(theirs.out, true);
    int compared = 0;
    for (std::uint64_t inode : tsk.allocated) {
        if (tsk.piped.count(inode)) continue;  // skelvar writes ';' there, so only its own file reads right
        auto a = rows_theirs.find(inode);
        auto b = rows_mine.find(inode);
        const std::set<std::string> none;
        EXPECT_EQ(a == rows_theirs.end() ? none : a->second, b == rows_mine.end() ? none : b->second)
            << "entry " << inode;
        ++compared;
    }
    EXPECT_GT(compared, 100);
}

// Names with '|' and ',' live on the basic volume: every line keeps its header's cell count.
TEST(DownstreamLayouts, EveryLineHasItsHeadersCellCount) {
    const fs::path dir = scratch_dir("layouts-basic");
    const fs::path mft = gunzip_to(source_dir() / "tests" / "fixtures" / "data" / "basic.mft.gz", dir);
    struct layout {
        const char* option;
        const char* header_start;
        char sep;
    };
    const layout layouts[] = {
        {"-csvl2t", "date,time,timezone,", ','},
        {"-csvperpath", "MFT entry", '|'},
        {"-bodyfile", "md5|name|", '|'},
    };
    for (const layout& l : layouts) {
        const fs::path out = dir / (std::string(l.option + 1) + ".txt");
        const run_result r = run_skelvar({"-mftfile", mft.string(), l.option, "-quiet", "-out", out.string()});
        ASSERT_EQ(r.exit_code, 0) << l.option << ": " << r.err;
        const auto lines = lines_of(read_file(out));
        std::size_t at = 0;
        while (at < lines.size() && lines[at].rfind(l.header_start, 0) != 0) ++at;
        ASSERT_LT(at, lines.size()) << l.option << ": no header line";
        const std::size_t cells = split(lines[at], l.sep).size();
        EXPECT_GT(lines.size() - at, 150u) << l.option;
        for (std::size_t i = at + 1; i < lines.size(); ++i)
            EXPECT_EQ(split(lines[i], l.sep).size(), cells) << l.option << ": " << lines[i];
        // The header comes once.
        for (std::size_t i = at + 1; i < lines.size(); ++i) EXPECT_NE(lines[i].rfind(l.header_start, 0), 0u) << l.option;
    }
    fs::remove_all(dir);
}
