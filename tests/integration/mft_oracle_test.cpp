// Compares skelvar's walk of extracted $MFT files with The Sleuth Kit's listing of the same volumes
// (tests/fixtures/data/basic.*, made by tests/fixtures/make_basic_volume.sh, and ../shared/testdata/orphan.*).
#include "common/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
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

// ---------------------------------------------------------------------------------------------------------
// Small text and time helpers.

std::string trim(std::string_view s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(b, e - b + 1));
}

std::vector<std::string> split(std::string_view s, char sep) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const auto pos = s.find(sep, start);
        out.emplace_back(s.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start));
        if (pos == std::string_view::npos) return out;
        start = pos + 1;
    }
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out = split(text, '\n');
    for (auto& l : out)
        if (!l.empty() && l.back() == '\r') l.pop_back();
    return out;
}

bool starts_with(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }
bool contains(std::string_view s, std::string_view p) { return s.find(p) != std::string_view::npos; }

std::optional<std::uint64_t> parse_number(std::string_view s) {
    int base = 10;
    if (starts_with(s, "0x") || starts_with(s, "0X")) {
        s.remove_prefix(2);
        base = 16;
    }
    if (s.empty()) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return std::nullopt;
        v = v * base + d;
    }
    return v;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// "2001-02-03 04:05:06" in UTC from epoch seconds, for messages.
std::string civil_text(std::int64_t secs) {
    std::int64_t days = secs >= 0 ? secs / 86400 : (secs - 86399) / 86400;
    std::int64_t rem = secs - days * 86400;
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02lld:%02lld:%02lld", static_cast<long long>(y), m, d,
                  static_cast<long long>(rem / 3600), static_cast<long long>(rem / 60 % 60),
                  static_cast<long long>(rem % 60));
    return buf;
}

// Epoch milliseconds from "yyyy-mm-dd" and "hh:mm:ss[.fraction]"; the fraction is cut to milliseconds.
std::optional<std::int64_t> epoch_ms(std::string_view date, std::string_view time) {
    int y, mo, d, h, mi, s;
    char tail[32] = {};
    if (std::sscanf(std::string(date).c_str(), "%d-%d-%d", &y, &mo, &d) != 3) return std::nullopt;
    const std::string t(time);
    const int n = std::sscanf(t.c_str(), "%d:%d:%d.%31[0-9]", &h, &mi, &s, tail);
    if (n < 3 || y < 1 || mo < 1 || mo > 12 || d < 1 || d > 31) return std::nullopt;
    std::string frac = n == 4 ? std::string(tail) : std::string();
    frac = (frac + "000").substr(0, 3);
    const std::int64_t secs = days_from_civil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
    return secs * 1000 + std::stoi(frac);
}

std::string ms_text(std::optional<std::int64_t> ms) {
    if (!ms) return "<none>";
    char frac[8];
    std::int64_t secs = *ms >= 0 ? *ms / 1000 : (*ms - 999) / 1000;
    std::snprintf(frac, sizeof frac, ".%03lld", static_cast<long long>(*ms - secs * 1000));
    return civil_text(secs) + frac;
}

// ---------------------------------------------------------------------------------------------------------
// Running skelvar.

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Like run_skelvar, under a time limit so that a hanging walk fails the test instead of stalling the suite.
run_result run_limited(const std::vector<std::string>& args) {
    std::string cmd = "timeout 300 " + quote(skelvar_binary().string());
    for (const auto& a : args) cmd += " " + quote(a);
    return run_shell(cmd + " </dev/null");
}

// A parsed results table: column index by trimmed header name, and the rows that have as many cells as the header.
struct results_table {
    std::map<std::string, size_t> column;
    std::vector<std::vector<std::string>> rows;

    bool has(const std::string& name) const { return column.count(name) != 0; }
    const std::string& cell(const std::vector<std::string>& row, const std::string& name) const {
        return row.at(column.at(name));
    }
};

// The results file starts with the run's header text; the table starts at the line whose first cell is
// "mft entry". `sep` is ',' for -csv and '|' for the default layout (where a '|' in a text cell is written as ';').
results_table parse_results(const std::string& text, char sep) {
    results_table t;
    const auto lines = lines_of(text);
    size_t i = 0;
    for (; i < lines.size(); ++i) {
        const auto cells = split(lines[i], sep);
        if (trim(cells.front()) != "mft entry") continue;
        for (size_t c = 0; c < cells.size(); ++c) t.column.emplace(trim(cells[c]), c);
        break;
    }
    if (t.column.empty()) return t;
    const size_t width = split(lines[i], sep).size();
    for (++i; i < lines.size(); ++i) {
        auto cells = split(lines[i], sep);
        if (cells.size() != width) continue;
        for (auto& c : cells) c = trim(c);
        t.rows.push_back(std::move(cells));
    }
    return t;
}

struct skelvar_run {
    run_result result;
    std::string output;
    results_table table;
};

skelvar_run run_on_mft(const fs::path& mft, std::vector<std::string> extra, const std::string& tag) {
    const fs::path out = scratch_dir(tag) / "results.txt";
    std::vector<std::string> args = {"-mftfile", mft.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"-quiet", "-out", out.string()});
    skelvar_run r;
    r.result = run_limited(args);
    r.output = read_file(out);
    const bool csv = std::find(extra.begin(), extra.end(), "-csv") != extra.end();
    r.table = parse_results(r.output, csv ? ',' : '|');
    fs::remove_all(out.parent_path());
    return r;
}

// ---------------------------------------------------------------------------------------------------------
// skelvar's view: per (entry, directory part, name), the line types and the four $STANDARD_INFORMATION times.

constexpr const char* si_letter_names[4] = {"modified", "accessed", "mft changed", "created"};

struct name_key {
    std::uint64_t entry;
    std::string dir;   // "[root]\a\b\"
    std::string name;
    auto operator<=>(const name_key&) const = default;
};

struct skelvar_name {
    std::set<std::string> types;
    std::set<std::string> exts;
    std::array<std::optional<std::int64_t>, 4> si_ms;  // m a c b, epoch milliseconds
    std::set<std::string> macb;
    std::string other_info;
    std::string streams;
};

std::map<name_key, skelvar_name> index_by_name(const results_table& t) {
    std::map<name_key, skelvar_name> idx;
    for (const auto& row : t.rows) {
        const auto entry = parse_number(t.cell(row, "mft entry"));
        if (!entry) continue;
        auto& v = idx[name_key{*entry, t.cell(row, "path"), t.cell(row, "name")}];
        v.types.insert(t.cell(row, "type"));
        v.exts.insert(t.cell(row, "ext"));
        const std::string& macb = t.cell(row, "MACB");
        v.macb.insert(macb);
        if (t.has("other info")) v.other_info = t.cell(row, "other info");
        if (t.has("various data types")) v.streams = t.cell(row, "various data types");
        const auto at = macb.find("si:[");
        if (at == std::string::npos || macb.size() < at + 8) continue;
        const auto when = epoch_ms(t.cell(row, "date"), t.cell(row, "time-utc"));
        for (int k = 0; k < 4; ++k)
            if (macb[at + 4 + k] != '.') v.si_ms[k] = when;
    }
    return idx;
}

// ---------------------------------------------------------------------------------------------------------
// The Sleuth Kit's view, from `fls -r -p -l` (tab-separated: "type [*] entry-type-id:", path, mtime, atime,
// ctime, crtime, size, uid, gid; times "yyyy-mm-dd hh:mm:ss (ZONE)").

struct tsk_name {
    std::uint64_t entry = 0;
    bool deleted = false;
    bool reallocated = false;
    bool is_virtual = false;  // TSK's own entries ($OrphanFiles and what it files under it)
    std::string dir;          // in skelvar's form: "[root]\a\b\"
    std::string name;         // as skelvar writes it in CSV (',' becomes ' ')
    std::string tsk_path;     // as fls printed it
    std::array<std::optional<std::int64_t>, 4> si_s;  // m a c b, epoch seconds UTC
};

// Offsets of the zone names that fls prints, to bring times back to UTC. MSK has been UTC+3 without
// daylight saving since 2011, which covers the sample this is used for.
std::optional<std::int64_t> zone_offset(std::string_view zone) {
    if (zone == "UTC" || zone == "GMT") return 0;
    if (zone == "MSK") return 3 * 3600;
    return std::nullopt;
}

std::optional<std::int64_t> tsk_time(const std::string& cell) {
    int y, mo, d, h, mi, s;
    char zone[16] = {};
    if (std::sscanf(cell.c_str(), "%d-%d-%d %d:%d:%d (%15[^)])", &y, &mo, &d, &h, &mi, &s, zone) != 7)
        return std::nullopt;
    if (y == 0) return std::nullopt;  // "0000-00-00 00:00:00": no time
    const auto off = zone_offset(zone);
    if (!off) return std::nullopt;
    const std::int64_t t = days_from_civil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s - *off;
    // TSK shows a FILETIME of 0 as this instant (its conversion overflows); skelvar writes no time.
    if (t == days_from_civil(2076, 11, 29) * 86400 + 8 * 3600 + 54 * 60 + 34) return std::nullopt;
    return t;
}

std::vector<tsk_name> parse_fls(const std::string& text) {
    std::map<std::pair<std::uint64_t, std::string>, tsk_name> unique;
    for (const auto& line : lines_of(text)) {
        if (line.empty() || line[0] == '#') continue;
        const auto f = split(line, '\t');
        if (f.size() < 6) continue;
        tsk_name n;
        const auto head = split(f[0], ' ');
        std::string id = head.back();
        if (!id.empty() && id.back() == ':') id.pop_back();
        const auto entry = parse_number(id.substr(0, id.find('-')));
        if (!entry) continue;
        n.entry = *entry;
        n.deleted = contains(f[0], "*");
        n.reallocated = contains(f[0], "(realloc)");
        n.is_virtual = starts_with(f[0], "V/V") || starts_with(f[1], "$OrphanFiles");
        // A named stream is listed as "name:stream"; the entry's name is the part before the ':'.
        std::string path = f[1];
        const auto slash = path.rfind('/');
        const auto colon = path.find(':', slash == std::string::npos ? 0 : slash + 1);
        if (colon != std::string::npos) path.resize(colon);
        n.tsk_path = path;
        n.dir = "[root]\\";
        const auto parts = split(path, '/');
        for (size_t i = 0; i + 1 < parts.size(); ++i) {
            std::string seg = parts[i];
            for (char& c : seg)
                if (c == ',') c = ' ';
            n.dir += seg + "\\";
        }
        n.name = parts.back();
        for (char& c : n.name)
            if (c == ',') c = ' ';
        for (int k = 0; k < 4; ++k) n.si_s[k] = tsk_time(f[2 + k]);
        unique.emplace(std::make_pair(n.entry, path), std::move(n));
    }
    std::vector<tsk_name> out;
    for (auto& [k, v] : unique) out.push_back(std::move(v));
    return out;
}

// ---------------------------------------------------------------------------------------------------------
// The comparison.

struct comparison {
    int checked = 0;
    std::vector<std::string> problems;

    void problem(const std::string& p) { problems.push_back(p); }
    std::string summary(size_t limit = 40) const {
        std::ostringstream ss;
        ss << problems.size() << " mismatch(es) over " << checked << " names:\n";
        for (size_t i = 0; i < problems.size() && i < limit; ++i) ss << "  " << problems[i] << "\n";
        if (problems.size() > limit) ss << "  ...\n";
        return ss.str();
    }
};

// Every name TSK lists from the $MFT (allocated, and deleted ones that it still finds in their directory)
// must appear in skelvar's CSV under the same entry, directory and name, with the same SI times to the second.
// Skipped: TSK's virtual entries ($OrphanFiles and the "OrphanFile-N" names it invents under it: they exist
// only in TSK's view), and names TSK flags "(realloc)" (a directory entry naming a record that now belongs to
// another file, so TSK's name and the record's own disagree by design).
comparison compare_with_tsk(const std::vector<tsk_name>& tsk, const std::map<name_key, skelvar_name>& skel) {
    comparison cmp;
    std::map<std::uint64_t, std::set<std::pair<std::string, std::string>>> tsk_names_of;
    for (const auto& t : tsk) {
        if (t.is_virtual || t.reallocated) continue;
        tsk_names_of[t.entry].insert({t.dir, t.name});
        ++cmp.checked;
        const std::string label = "entry " + std::to_string(t.entry) + " \"" + t.tsk_path + "\"";
        const auto it = skel.find(name_key{t.entry, t.dir, t.name});
        if (it == skel.end()) {
            std::string seen;
            for (auto s = skel.lower_bound(name_key{t.entry, "", ""}); s != skel.end() && s->first.entry == t.entry; ++s)
                seen += " {" + s->first.dir + " | " + s->first.name + "}";
            cmp.problem(label + ": expected path \"" + t.dir + "\" name \"" + t.name + "\"; skelvar has" +
                        (seen.empty() ? std::string(" no line for this entry") : seen));
            continue;
        }
        const auto& v = it->second;
        const bool typed_del = v.types.count("del") != 0;
        if (t.deleted != typed_del) {
            std::string types;
            for (const auto& ty : v.types) types += " \"" + ty + "\"";
            cmp.problem(label + ": TSK says " + (t.deleted ? "deleted" : "allocated") + ", skelvar types" + types);
        }
        for (int k = 0; k < 4; ++k) {
            const auto& want = t.si_s[k];
            const auto& got = v.si_ms[k];
            const std::optional<std::int64_t> got_s =
                got ? std::optional<std::int64_t>(*got >= 0 ? *got / 1000 : (*got - 999) / 1000) : std::nullopt;
            if (want != got_s)
                cmp.problem(label + ": SI " + si_letter_names[k] + " expected " +
                            (want ? civil_text(*want) : std::string("<none>")) + ", skelvar " + ms_text(got));
        }
    }
    // The other way round: a file or directory line of an entry that TSK knows must carry one of TSK's names
    // for it (DOS 8.3 names are left out: TSK lists long names only).
    for (const auto& [key, v] : skel) {
        const auto known = tsk_names_of.find(key.entry);
        if (known == tsk_names_of.end()) continue;
        if (!(v.types.count("file") || v.types.count("dir") || v.types.count("del"))) continue;
        if (!known->second.count({key.dir, key.name}))
            cmp.problem("entry " + std::to_string(key.entry) + ": skelvar writes path \"" + key.dir + "\" name \"" +
                        key.name + "\", which TSK does not list for this entry");
    }
    return cmp;
}

fs::path fixture(const std::string& name) { return source_dir() / "tests" / "fixtures" / "data" / name; }

// Entry numbers of the named objects of the basic volume (basic.entries.txt: "name<TAB>entry").
std::map<std::string, std::uint64_t> basic_entries() {
    std::map<std::string, std::uint64_t> m;
    for (const auto& line : lines_of(read_file(fixture("basic.entries.txt")))) {
        if (line.empty() || line[0] == '#') continue;
        const auto f = split(line, '\t');
        if (f.size() == 2)
            if (const auto n = parse_number(f[1])) m[f[0]] = *n;
    }
    return m;
}

class BasicVolume : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new fs::path(scratch_dir("oracle-basic"));
        mft_ = new fs::path(gunzip_to(fixture("basic.mft.gz"), *dir_));
        csv_ = new skelvar_run(run_on_mft(*mft_, {"-csv", "-base10"}, "basic-csv"));
        names_ = new std::map<name_key, skelvar_name>(index_by_name(csv_->table));
    }
    static void TearDownTestSuite() {
        fs::remove_all(*dir_);
        delete names_;
        delete csv_;
        delete mft_;
        delete dir_;
    }
    void SetUp() override {
        ASSERT_EQ(csv_->result.exit_code, 0) << csv_->result.err;
        ASSERT_FALSE(csv_->table.column.empty()) << "no \"mft entry\" header line in:\n" << csv_->output.substr(0, 2000);
        for (const char* col : {"mft entry", "mft seqnum", "parent mft", "par seqnum", "type", "ext", "ref", "date",
                                "time-utc", "MACB", "other info", "name", "path", "various data types"})
            ASSERT_TRUE(csv_->table.has(col)) << "missing column \"" << col << "\"";
    }

    // Every line skelvar wrote for one entry.
    static std::vector<std::pair<name_key, skelvar_name>> lines_of_entry(std::uint64_t entry) {
        std::vector<std::pair<name_key, skelvar_name>> out;
        for (auto it = names_->lower_bound(name_key{entry, "", ""}); it != names_->end() && it->first.entry == entry; ++it)
            out.push_back(*it);
        return out;
    }

    static inline fs::path* dir_ = nullptr;
    static inline fs::path* mft_ = nullptr;
    static inline skelvar_run* csv_ = nullptr;
    static inline std::map<name_key, skelvar_name>* names_ = nullptr;
};

TEST_F(BasicVolume, NamesPathsAndSiTimesMatchSleuthKit) {
    const auto tsk = parse_fls(read_file(fixture("basic.fls.txt")));
    ASSERT_GT(tsk.size(), 100u);
    const auto cmp = compare_with_tsk(tsk, *names_);
    EXPECT_GT(cmp.checked, 100);
    EXPECT_TRUE(cmp.problems.empty()) << cmp.summary();
}

// fls prints whole seconds; istat prints the fraction, which skelvar writes to the millisecond.
TEST_F(BasicVolume, SiFractionsMatchIstat) {
    std::uint64_t entry = 0;
    bool in_si = false;
    int checked = 0;
    std::vector<std::string> problems;
    const std::map<std::string, int> letter = {{"File Modified", 0}, {"Accessed", 1}, {"MFT Modified", 2}, {"Created", 3}};
    for (const auto& line : lines_of(read_file(fixture("basic.istat.txt")))) {
        if (starts_with(line, "Entry:")) {
            entry = parse_number(trim(split(line.substr(6), 'S')[0])).value_or(0);
            continue;
        }
        if (contains(line, "Attribute Values:")) {
            in_si = starts_with(line, "$STANDARD_INFORMATION");
            continue;
        }
        const auto colon = line.find(":\t");
        if (!in_si || colon == std::string::npos || !letter.count(line.substr(0, colon))) continue;
        const int k = letter.at(line.substr(0, colon));
        const auto parts = split(trim(line.substr(colon + 2)), ' ');  // date, time with 9 digits, "(UTC)"
        ASSERT_EQ(parts.size(), 3u) << line;
        const auto want = epoch_ms(parts[0], parts[1]);
        bool seen = false;
        for (const auto& [key, v] : lines_of_entry(entry)) {
            if (v.types.count("file (FN 8.3)")) continue;
            seen = true;
            ++checked;
            if (v.si_ms[k] != want)
                problems.push_back("entry " + std::to_string(entry) + " " + key.name + ": SI " + si_letter_names[k] +
                                   " expected " + ms_text(want) + ", skelvar " + ms_text(v.si_ms[k]));
        }
        if (!seen) problems.push_back("entry " + std::to_string(entry) + ": no line in skelvar's output");
    }
    EXPECT_GE(checked, 16);
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

TEST_F(BasicVolume, DeletedRecordsAreTypedDelWithTheirPaths) {
    const auto e = basic_entries();
    struct expectation { const char* fls_name; const char* dir; const char* name; };
    for (const auto& x : {expectation{"deleted_file.txt", "[root]\\", "deleted_file.txt"},
                          expectation{"deleted_dir", "[root]\\", "deleted_dir"},
                          // The directory's record is free and its sequence number advanced; the child's
                          // parent reference still carries the old one, which must be accepted.
                          expectation{"deleted_dir/child.txt", "[root]\\deleted_dir\\", "child.txt"}}) {
        ASSERT_TRUE(e.count(x.fls_name)) << x.fls_name;
        const auto entry = e.at(x.fls_name);
        const auto it = names_->find(name_key{entry, x.dir, x.name});
        ASSERT_NE(it, names_->end()) << "entry " << entry << " " << x.dir << x.name << " not written";
        EXPECT_EQ(it->second.types, std::set<std::string>{"del"}) << "entry " << entry;
    }
    // Allocated records are never "del".
    for (const char* live : {"ads_host.txt", "old_times.txt", "bigdir"})
        for (const auto& [key, v] : lines_of_entry(e.at(live))) EXPECT_EQ(v.types.count("del"), 0u) << key.name;
}

TEST_F(BasicVolume, SpecialNamesAndAttributes) {
    const auto e = basic_entries();

    // A hard link: one record, two names in two directories, each with its own path.
    const auto link = e.at("links/original.txt");
    const auto orig = names_->find(name_key{link, "[root]\\links\\", "original.txt"});
    const auto hard = names_->find(name_key{link, "[root]\\dir1\\", "hardlink.txt"});
    ASSERT_NE(orig, names_->end());
    ASSERT_NE(hard, names_->end());
    EXPECT_TRUE(contains(orig->second.other_info, "multinames [2]")) << orig->second.other_info;
    EXPECT_TRUE(contains(orig->second.other_info, "multiroots [2]")) << orig->second.other_info;

    // A Win32 name with a DOS alias: the alias gets its own lines, typed " (FN 8.3)", with FN8.3 letters only.
    const auto dos = e.at("Long File Name With DOS alias.txt");
    const auto alias = names_->find(name_key{dos, "[root]\\", "LONGFI~1.TXT"});
    ASSERT_NE(alias, names_->end());
    EXPECT_EQ(alias->second.types, std::set<std::string>{"file (FN 8.3)"});
    for (const auto& m : alias->second.macb) EXPECT_FALSE(contains(m, "fn:[")) << m;
    const auto longname = names_->find(name_key{dos, "[root]\\", "Long File Name With DOS alias.txt"});
    ASSERT_NE(longname, names_->end());
    for (const auto& m : longname->second.macb) EXPECT_FALSE(contains(m, "fn8.3")) << m;

    // The Windows symlink names its target; the Interix one made by ntfs-3g is a plain file.
    const auto winlink = lines_of_entry(e.at("winlink_to_level2"));
    ASSERT_FALSE(winlink.empty());
    EXPECT_TRUE(contains(winlink.front().second.other_info, "symlink: [")) << winlink.front().second.other_info;
    EXPECT_TRUE(contains(winlink.front().second.other_info, "level2")) << winlink.front().second.other_info;

    // Both alternate data streams are described.
    const auto ads = lines_of_entry(e.at("ads_host.txt"));
    ASSERT_FALSE(ads.empty());
    EXPECT_TRUE(contains(ads.front().second.streams, "secret")) << ads.front().second.streams;
    EXPECT_TRUE(contains(ads.front().second.streams, "Zone.Identifier")) << ads.front().second.streams;

    // A ',' in a name is written as a space under -csv; '|' is left alone there.
    bool comma = false, pipe = false;
    for (const auto& [key, v] : *names_) {
        comma |= key.name == "comma name.txt";
        pipe |= key.name == "pipe|name.txt";
        EXPECT_FALSE(contains(key.name, ",")) << key.name;
    }
    EXPECT_TRUE(comma);
    EXPECT_TRUE(pipe);

    // Extensions: the text after the last '.', "none" for a directory.
    const auto big = lines_of_entry(e.at("bigdir"));
    ASSERT_FALSE(big.empty());
    EXPECT_EQ(big.front().second.types, std::set<std::string>{"dir"});
    EXPECT_EQ(big.front().second.exts, std::set<std::string>{"none"});
    const auto nonres = lines_of_entry(e.at("nonresident.txt"));
    ASSERT_FALSE(nonres.empty());
    EXPECT_EQ(nonres.front().second.exts, std::set<std::string>{"txt"});

    // A name outside the BMP (UTF-16 surrogate pair) comes out as 4-byte UTF-8.
    EXPECT_TRUE(std::any_of(names_->begin(), names_->end(),
                            [](const auto& kv) { return kv.first.name == "smile_\xF0\x9F\x98\x80.txt"; }));
}

TEST_F(BasicVolume, SampleMftIsTheFixture) {
    EXPECT_EQ(read_bytes(source_dir() / "samples" / "basic.mft"), read_bytes(*mft_));
}

// The default layout: " | " between padded cells, hexadecimal entry numbers, '|' in names written as ';'.
TEST_F(BasicVolume, DefaultLayoutSubstitutesThePipe) {
    const auto run = run_on_mft(*mft_, {}, "basic-default");
    ASSERT_EQ(run.result.exit_code, 0) << run.result.err;
    ASSERT_TRUE(run.table.has("mft entry") && run.table.has("name") && run.table.has("time-utc"));
    EXPECT_TRUE(contains(run.output, " | ")) << "no \" | \" separator";

    const auto tsk = parse_fls(read_file(fixture("basic.fls.txt")));
    std::uint64_t pipe_entry = 0;
    for (const auto& t : tsk)
        if (t.name == "pipe|name.txt") pipe_entry = t.entry;
    ASSERT_NE(pipe_entry, 0u);
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%08llx", static_cast<unsigned long long>(pipe_entry));

    int pipe_lines = 0, comma_lines = 0;
    for (const auto& row : run.table.rows) {
        const auto& name = run.table.cell(row, "name");
        if (name == "pipe;name.txt") {
            ++pipe_lines;
            EXPECT_EQ(run.table.cell(row, "mft entry"), hex);
        }
        comma_lines += name == "comma,name.txt";
        const auto& time = run.table.cell(row, "time-utc");
        if (!time.empty()) {
            EXPECT_TRUE(epoch_ms(run.table.cell(row, "date"), time).has_value()) << time;
        }
    }
    EXPECT_GT(pipe_lines, 0);
    EXPECT_GT(comma_lines, 0);
}

// ---------------------------------------------------------------------------------------------------------
// Samples made on Windows (../shared/testdata; absent from a fresh clone).

TEST(SharedSamples, OrphanMftMatchesSleuthKit) {
    const fs::path data = shared_testdata_dir();
    if (data.empty() || !fs::exists(data / "orphan.mft") || !fs::exists(data / "orphan.fls"))
        GTEST_SKIP() << "../shared/testdata/orphan.{mft,fls} not present";
    const auto run = run_on_mft(data / "orphan.mft", {"-csv", "-base10"}, "orphan-csv");
    ASSERT_EQ(run.result.exit_code, 0) << run.result.err;
    ASSERT_TRUE(run.table.has("mft entry") && run.table.has("MACB") && run.table.has("path"));
    const auto tsk = parse_fls(read_file(data / "orphan.fls"));
    ASSERT_GT(tsk.size(), 30u);
    const auto cmp = compare_with_tsk(tsk, index_by_name(run.table));
    EXPECT_GT(cmp.checked, 30);
    EXPECT_TRUE(cmp.problems.empty()) << cmp.summary();
}

TEST(SharedSamples, EveryOtherMftWalksCleanly) {
    const fs::path data = shared_testdata_dir();
    if (data.empty()) GTEST_SKIP() << "../shared/testdata not present";
    int walked = 0;
    for (const char* file : {"deleted.mft", "compressed_sparse.mft", "slack.mft", "mapping_pairs_1.mft"}) {
        if (!fs::exists(data / file)) continue;
        for (const bool csv : {false, true}) {
            SCOPED_TRACE(std::string(file) + (csv ? " -csv" : " default layout"));
            const auto run = run_on_mft(data / file, csv ? std::vector<std::string>{"-csv"} : std::vector<std::string>{},
                                        "shared-walk");
            EXPECT_EQ(run.result.exit_code, 0) << run.result.err;
            EXPECT_FALSE(run.table.column.empty()) << "no header line";
            EXPECT_GT(run.table.rows.size(), 10u);
            ++walked;
        }
    }
    if (walked == 0) GTEST_SKIP() << "none of the samples present";
}

}  // namespace
