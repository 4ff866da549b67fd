// Compares skelvar's walk of extracted $MFT files with The Sleuth Kit's listing of the same volumes
// (tests/fixtures/data/basic.*, made by tests/fixtures/make_basic_volume.sh, and ../shared/testdata/orphan.*).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "oracle_text.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace oracle_text;

namespace {

using times4 = std::array<std::optional<std::int64_t>, 4>;  // m a c b
constexpr const char* letter_names[4] = {"modified", "accessed", "mft changed", "created"};

// Epoch milliseconds from "yyyy-mm-dd" and "hh:mm:ss[.fraction]"; the fraction is cut to milliseconds.
std::optional<std::int64_t> epoch_ms(const std::string& date, const std::string& time) {
    int y, mo, d, h, mi, s;
    char tail[32] = {};
    if (std::sscanf(date.c_str(), "%d-%d-%d", &y, &mo, &d) != 3) return std::nullopt;
    const int n = std::sscanf(time.c_str(), "%d:%d:%d.%31[0-9]", &h, &mi, &s, tail);
    if (n < 3 || y < 1 || mo < 1 || mo > 12 || d < 1 || d > 31) return std::nullopt;
    return utc_seconds(y, mo, d, h, mi, s) * 1000 + std::stoi((std::string(n == 4 ? tail : "") + "000").substr(0, 3));
}

std::optional<std::int64_t> to_seconds(std::optional<std::int64_t> ms) {
    if (!ms) return std::nullopt;
    return *ms >= 0 ? *ms / 1000 : (*ms - 999) / 1000;
}

std::string text(std::optional<std::int64_t> t) { return t ? std::to_string(*t) : "<none>"; }

std::string mismatch(const std::string& label, int k, std::optional<std::int64_t> want_s,
                     std::optional<std::int64_t> got_ms) {
    return label + ": SI " + letter_names[k] + " expected " + text(want_s) + " s, skelvar " + text(got_ms) +
           " ms";
}

struct skelvar_run {
    run_result result;
    std::string output;
    results_table table;
};

// `sep` is ',' for -csv and '|' for the default layout (where a '|' in a text cell is written as ';').
skelvar_run run_on(const std::string& source_option, const fs::path& source, std::vector<std::string> extra,
                   const std::string& tag) {
    const fs::path out = scratch_dir(tag) / "results.txt";
    const bool csv = std::find(extra.begin(), extra.end(), "-csv") != extra.end();
    std::vector<std::string> args = {source_option, source.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"-quiet", "-out", out.string()});
    skelvar_run r;
    r.result = run_skelvar(args);
    r.output = read_file(out);
    r.table = parse_results(r.output, csv ? ',' : '|');
    fs::remove_all(out.parent_path());
    return r;
}

skelvar_run run_on_mft(const fs::path& mft, std::vector<std::string> extra, const std::string& tag) {
    return run_on("-mftfile", mft, std::move(extra), tag);
}

// skelvar's view: per (entry, directory part, name), the line types and the $STANDARD_INFORMATION times.
struct name_key {
    std::uint64_t entry;
    std::string dir;  // "[root]\a\b\"
    std::string name;
    auto operator<=>(const name_key&) const = default;
};

struct skelvar_name {
    std::set<std::string> types, exts, macb;
    times4 si_ms;  // epoch milliseconds
    std::string other_info, streams;
};

using name_index = std::map<name_key, skelvar_name>;

name_index index_by_name(const results_table& t) {
    name_index idx;
    for (const auto& row : t.rows) {
        const auto entry = parse_int(t.cell(row, "mft entry"));
        if (!entry) continue;
        auto& v = idx[name_key{static_cast<std::uint64_t>(*entry), t.cell(row, "path"), t.cell(row, "name")}];
        v.types.insert(t.cell(row, "type"));
        v.exts.insert(t.cell(row, "ext"));
        const std::string& macb = t.cell(row, "MACB");
        v.macb.insert(macb);
        if (t.has("other info")) v.other_info = t.cell(row, "other info");
        if (t.has("various data types")) v.streams = t.cell(row, "various data types");
        const auto when = epoch_ms(t.cell(row, "date"), t.cell(row, "time-utc"));
        const auto at = macb.find("si:[");
        if (at != std::string::npos && macb.size() >= at + 8)
            for (int k = 0; k < 4; ++k)
                if (macb[at + 4 + k] != '.') v.si_ms[k] = when;
    }
    return idx;
}

// An fls name in skelvar's form: "[root]\a\b\" and the name, ',' written as ' ' (CSV).
name_key skelvar_key(const fls_name& n) {
    name_key k{n.entry, "[root]\\", ""};
    const auto parts = split(n.path, '/');
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) k.dir += parts[i] + "\\";
    k.name = parts.back();
    for (std::string* s : {&k.dir, &k.name}) std::replace(s->begin(), s->end(), ',', ' ');
    return k;
}

// Offsets of the zone names that fls prints, to bring times back to UTC. MSK has been UTC+3 without
// daylight saving since 2011, which covers the sample this is used for.
std::optional<std::int64_t> tsk_time(const std::string& cell) {
    int y, mo, d, h, mi, s;
    char zone[16] = {};
    if (std::sscanf(cell.c_str(), "%d-%d-%d %d:%d:%d (%15[^)])", &y, &mo, &d, &h, &mi, &s, zone) != 7 || y == 0)
        return std::nullopt;  // "0000-00-00 00:00:00": no time
    const std::string z = zone;
    if (z != "UTC" && z != "GMT" && z != "MSK") return std::nullopt;
    const std::int64_t t = utc_seconds(y, mo, d, h, mi, s) - (z == "MSK" ? 3 * 3600 : 0);
    return t == tsk_zero_filetime ? std::nullopt : std::optional<std::int64_t>(t);
}

struct comparison {
    int checked = 0;
    std::vector<std::string> problems;
    std::string summary() const {
        std::string s = std::to_string(problems.size()) + " mismatch(es) over " + std::to_string(checked) + " names:\n";
        for (std::size_t i = 0; i < problems.size() && i < 40; ++i) s += "  " + problems[i] + "\n";
        return s;
    }
};

// Every name TSK lists from the $MFT (allocated, and deleted ones that it still finds in their directory)
// must appear in skelvar's CSV under the same entry, directory and name, with the same SI times to the second
// (when the listing has them: fls -l).
// Skipped: TSK's virtual entries ($OrphanFiles and the "OrphanFile-N" names it invents under it: they exist
// only in TSK's view), "dir/." (how TSK lists the named streams of a directory), and names TSK flags "(realloc)" (a directory entry naming a record that now belongs to
// another file, so TSK's name and the record's own disagree by design).
comparison compare_with_tsk(const std::vector<fls_name>& tsk, const name_index& skel) {
    comparison cmp;
    std::map<std::uint64_t, std::set<std::pair<std::string, std::string>>> tsk_names_of;
    for (const auto& t : tsk) {
        if (t.is_virtual || t.reallocated) continue;
        const name_key key = skelvar_key(t);
        if (key.name == ".") continue;
        tsk_names_of[t.entry].insert({key.dir, key.name});
        ++cmp.checked;
        const std::string label = "entry " + std::to_string(t.entry) + " \"" + t.path + "\"";
        const auto it = skel.find(key);
        if (it == skel.end()) {
            std::string seen;
            for (auto s = skel.lower_bound(name_key{t.entry, "", ""}); s != skel.end() && s->first.entry == t.entry; ++s)
                seen += " {" + s->first.dir + " | " + s->first.name + "}";
            cmp.problems.push_back(label + ": expected path \"" + key.dir + "\" name \"" + key.name + "\"; skelvar has" +
                                   (seen.empty() ? std::string(" no line for this entry") : seen));
            continue;
        }
        if (t.deleted != (it->second.types.count("del") != 0))
            cmp.problems.push_back(label + ": TSK says " + (t.deleted ? "deleted" : "allocated") +
                                   ", skelvar types differ");
        for (int k = 0; k < 4 && t.fields.size() >= 6; ++k) {
            const auto want = tsk_time(t.fields[2 + k]);
            if (want != to_seconds(it->second.si_ms[k]))
                cmp.problems.push_back(mismatch(label, k, want, it->second.si_ms[k]));
        }
    }
    // The other way round: a file or directory line of an entry that TSK knows must carry one of TSK's names
    // for it (DOS 8.3 names are left out: TSK lists long names only).
    for (const auto& [key, v] : skel) {
        const auto known = tsk_names_of.find(key.entry);
        if (known == tsk_names_of.end()) continue;
        if (!(v.types.count("file") || v.types.count("dir") || v.types.count("del"))) continue;
        if (!known->second.count({key.dir, key.name}))
            cmp.problems.push_back("entry " + std::to_string(key.entry) + ": skelvar writes path \"" + key.dir +
                                   "\" name \"" + key.name + "\", which TSK does not list for this entry");
    }
    return cmp;
}

class BasicVolume : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new fs::path(scratch_dir("oracle-basic"));
        mft_ = new fs::path(gunzip_to(fixture("basic.mft.gz"), *dir_));
        csv_ = new skelvar_run(run_on_mft(*mft_, {"-csv", "-base10"}, "basic-csv"));
        names_ = new name_index(index_by_name(csv_->table));
        tsk_ = new std::vector<fls_name>(parse_fls(read_file(fixture("basic.fls.txt"))));
    }
    static void TearDownTestSuite() {
        fs::remove_all(*dir_);
        delete tsk_;
        delete names_;
        delete csv_;
        delete mft_;
        delete dir_;
    }
    void SetUp() override { ASSERT_EQ(csv_->result.exit_code, 0) << csv_->result.err; }

    static inline fs::path* dir_ = nullptr;
    static inline fs::path* mft_ = nullptr;
    static inline skelvar_run* csv_ = nullptr;
    static inline name_index* names_ = nullptr;
    static inline std::vector<fls_name>* tsk_ = nullptr;
};

TEST_F(BasicVolume, NamesPathsAndSiTimesMatchSleuthKit) {
    ASSERT_GT(tsk_->size(), 100u);
    const auto cmp = compare_with_tsk(*tsk_, *names_);
    EXPECT_GT(cmp.checked, 100);
    EXPECT_TRUE(cmp.problems.empty()) << cmp.summary();
}

// basic.istat.txt by entry: its link count, SI times and each name's FN times, in 100 ns since 1970 (m a c b).
struct istat_entry {
    std::uint64_t entry = 0;
    int links = 0;
    std::array<std::int64_t, 4> si{};
    std::vector<std::pair<std::string, std::array<std::int64_t, 4>>> names;
};

std::vector<istat_entry> read_istat() {
    std::vector<istat_entry> entries;
    const std::map<std::string, int> letter = {{"File Modified", 0}, {"Accessed", 1}, {"MFT Modified", 2}, {"Created", 3}};
    std::array<std::int64_t, 4>* times = nullptr;
    for (const auto& line : lines_of(read_file(fixture("basic.istat.txt")))) {
        if (line.starts_with("Entry:")) {
            entries.emplace_back().entry = static_cast<std::uint64_t>(parse_int(trim(split(line.substr(6), 'S')[0])).value_or(0));
            times = nullptr;
        } else if (entries.empty()) {
            continue;
        } else if (line.starts_with("Links:")) {
            entries.back().links = static_cast<int>(parse_int(trim(line.substr(6))).value_or(0));
        } else if (line.starts_with("$STANDARD_INFORMATION")) {
            times = &entries.back().si;
        } else if (line.starts_with("$FILE_NAME")) {
            times = &entries.back().names.emplace_back().second;
        } else if (line.find("Attribute Values:") != std::string::npos || line.starts_with("Attributes:")) {
            times = nullptr;
        } else if (times && line.starts_with("Name: ")) {
            entries.back().names.back().first = line.substr(6);
        } else if (const auto colon = line.find(":\t"); times && colon != std::string::npos && letter.count(line.substr(0, colon))) {
            const auto parts = split(trim(line.substr(colon + 2)), ' ');  // date, time with 9 digits, "(UTC)"
            const auto ms = epoch_ms(parts[0], parts[1]);
            EXPECT_TRUE(ms) << line;
            (*times)[letter.at(line.substr(0, colon))] = ms.value_or(0) / 1000 * 10'000'000 + std::stoll(split(parts[1], '.')[1]) / 100;
        }
    }
    return entries;
}

// Each name of a hard-linked file carries the letters of its own $FILE_NAME times: for every distinct
// time of the entry (SI and that name's FN, to the 100 ns istat prints) in ascending order, the MACB
// cell of that name's line.
TEST_F(BasicVolume, HardLinksCarryTheirOwnFnLettersAsIstatShows) {
    int checked = 0;
    for (const istat_entry& e : read_istat()) {
        if (e.links < 2) continue;
        for (const auto& [name, fn] : e.names) {
            std::set<std::int64_t> values(e.si.begin(), e.si.end());
            values.insert(fn.begin(), fn.end());
            std::vector<std::string> want;
            for (std::int64_t v : values) {
                std::string si = "....", own = "....";
                for (int k = 0; k < 4; ++k) {
                    if (e.si[k] == v) si[k] = "macb"[k];
                    if (fn[k] == v) own[k] = "macb"[k];
                }
                std::string cell = si != "...." ? "si:[" + si + "]" : "";
                if (own != "....") cell += (cell.empty() ? "fn:[" : "; fn:[") + own + "]";
                want.push_back(cell);
            }
            std::vector<std::string> got;
            for (const auto& row : csv_->table.rows)
                if (parse_int(row[0]) == static_cast<std::int64_t>(e.entry) && csv_->table.cell(row, "name") == name) {
                    std::string cell = csv_->table.cell(row, "MACB");
                    if (const auto at = cell.find("fn8.3["); at != std::string::npos) cell.replace(at, 6, "fn:[");
                    got.push_back(cell);
                }
            EXPECT_EQ(got, want) << "entry " << e.entry << " " << name;
            ++checked;
        }
    }
    EXPECT_GE(checked, 2);
}

// Zeroed directory records (dir1, entry 64; the deleted deleted_dir, 187) lose no file below them:
// each name is written under "<path corrupted>" with the part of its path that is left, and the
// same with filters that keep the walk from meeting its directories.
TEST_F(BasicVolume, FilesBelowAZeroedDirectoryKeepTheirNames) {
    const fs::path dir = scratch_dir("oracle-zeroed");
    const fs::path mft = dir / "zeroed.mft";
    fs::copy_file(*mft_, mft);
    for (const char* entry : {"64", "187"})  // dir1 and the deleted deleted_dir
        run_shell("dd if=/dev/zero of='" + mft.string() + "' bs=1024 seek=" + entry + " count=1 conv=notrunc 2>/dev/null");
    std::map<std::uint64_t, std::string> want;  // entry -> path and name
    for (const auto& t : *tsk_)
        if (t.path.starts_with("dir1/") && t.entry != 78)
            want[t.entry] = "[root]\\<path corrupted>\\" + skelvar_key(t).dir.substr(12) + skelvar_key(t).name;
    ASSERT_EQ(want.size(), 5u);
    want[188] = "[root]\\<path corrupted>\\child.txt";
    auto rows_of = [&](std::vector<std::string> extra) {
        extra.insert(extra.begin(), {"-csv", "-base10"});
        const auto run = run_on_mft(mft, extra, "oracle-zeroed-run");
        EXPECT_EQ(run.result.exit_code, 0) << run.result.err;
        std::map<std::uint64_t, std::set<std::string>> rows;
        for (const auto& [key, v] : index_by_name(run.table))
            if (want.count(key.entry)) rows[key.entry].insert(key.dir + key.name + " " + *v.macb.begin());
        return rows;
    };
    const auto all = rows_of({});
    for (const auto& [entry, path] : want) {
        ASSERT_EQ(all.count(entry), 1u) << path;
        EXPECT_EQ(all.at(entry).begin()->substr(0, path.size() + 1), path + " ") << entry;
    }
    // Filters that skip the directories before they are parsed.
    EXPECT_EQ(rows_of({"-filter_inode", "68 | 69"}), (decltype(all){{68, all.at(68)}, {69, all.at(69)}}));
    EXPECT_EQ(rows_of({"-filter_ext", "txt"}), (decltype(all){{68, all.at(68)}, {69, all.at(69)}, {188, all.at(188)}}));
    EXPECT_EQ(rows_of({"-filter_deleted_files"}), (decltype(all){{188, all.at(188)}}));
    fs::remove_all(dir);
}

// Samples made on Windows (../shared/testdata; absent from a fresh clone).
TEST(SharedSamples, OrphanMftMatchesSleuthKit) {
    const fs::path data = shared_testdata_dir();
    SKIP_WITHOUT_SAMPLE(!data.empty() && fs::exists(data / "orphan.mft") && fs::exists(data / "orphan.fls"),
                        "orphan.mft, orphan.fls");
    const auto run = run_on_mft(data / "orphan.mft", {"-csv", "-base10"}, "orphan-csv");
    ASSERT_EQ(run.result.exit_code, 0) << run.result.err;
    ASSERT_TRUE(run.table.has("MACB") && run.table.has("path"));
    const auto tsk = parse_fls(read_file(data / "orphan.fls"));
    ASSERT_GT(tsk.size(), 30u);
    const auto cmp = compare_with_tsk(tsk, index_by_name(run.table));
    EXPECT_GT(cmp.checked, 30);
    EXPECT_TRUE(cmp.problems.empty()) << cmp.summary();
}

TEST(SharedSamples, EveryOtherMftWalksCleanly) {
    const fs::path data = shared_testdata_dir();
    SKIP_WITHOUT_SAMPLE(!data.empty(), "deleted.mft, compressed_sparse.mft, slack.mft, mapping_pairs_1.mft");
    int walked = 0;
    for (const char* file : {"deleted.mft", "compressed_sparse.mft", "slack.mft", "mapping_pairs_1.mft"}) {
        if (!fs::exists(data / file)) continue;
        for (const bool csv : {false, true}) {
            SCOPED_TRACE(std::string(file) + (csv ? " -csv" : " default layout"));
            const auto run = run_on_mft(data / file, csv ? std::vector<std::string>{"-csv"} : std::vector<std::string>{},
                                        "shared-walk");
            EXPECT_EQ(run.result.exit_code, 0) << run.result.err;
            EXPECT_GT(run.table.rows.size(), 10u);
            ++walked;
        }
    }
    SKIP_WITHOUT_SAMPLE(walked > 0, "deleted.mft, compressed_sparse.mft, slack.mft, mapping_pairs_1.mft");
}

// The same volume as an image and as its extracted $MFT: every name fls lists, under its entry and path
// (with -l also its SI times), and nothing else. For an extracted $MFT, names held in extension records
// behind a list in clusters are found through the records' base references.
void expect_both_sources_match(const std::string& volume, const std::vector<fls_name>& tsk, std::size_t at_least) {
    const fs::path dir = scratch_dir("oracle-" + volume);
    const fs::path image = gunzip_to(fixture(volume + ".img.gz"), dir);
    const fs::path mft = gunzip_to(fixture(volume + ".mft.gz"), dir);
    std::optional<name_index> first;
    for (const auto& [option, path] : {std::pair{"-image", image}, std::pair{"-mftfile", mft}}) {
        SCOPED_TRACE(volume + " " + option);
        const auto run = run_on(option, path, {"-csv", "-base10"}, volume + "-csv");
        ASSERT_EQ(run.result.exit_code, 0) << run.result.err;
        const name_index names = index_by_name(run.table);
        const auto cmp = compare_with_tsk(tsk, names);
        EXPECT_GE(cmp.checked, static_cast<int>(at_least));
        EXPECT_TRUE(cmp.problems.empty()) << cmp.summary();
        if (!first) {
            first = names;
            continue;
        }
        EXPECT_TRUE(std::equal(first->begin(), first->end(), names.begin(), names.end(),
                               [](const auto& a, const auto& b) { return a.first == b.first; }))
            << "the two sources give different names or paths";
    }
    fs::remove_all(dir);
}

// 4096-byte sectors and records: names of 200 to 255 units cross 512-byte boundaries, where the update
// sequence keeps two bytes of its own.
TEST(SectorSizes, FourKnNamesMatchSleuthKit) {
    const auto tsk = parse_fls(read_file(fixture("ntfsvol_4kn.fls.txt")));
    expect_both_sources_match("ntfsvol_4kn", tsk, 100);
}

// A $MFT in several runs, the later ones where only the run list can place them.
TEST(FragmentedMft, NamesMatchSleuthKit) {
    const auto tsk = parse_fls(read_file(fixture("ntfsvol_frag.fls.txt")));
    expect_both_sources_match("ntfsvol_frag", tsk, 300);
}

// Directory 64 keeps its only $FILE_NAME in extension record 76, behind a list in clusters.
TEST(ExtensionRecords, DirectoryNamedInAnExtensionRecordMatchesSleuthKit) {
    const auto tsk = parse_fls(read_file(fixture("extdir.fls.txt")));
    expect_both_sources_match("extdir", tsk, 20);
}

// Volumes made by an NTFS older than 3.1 (update sequence at 0x2A, no record number): the names under
// test\, the deleted 1.txt and the 100 hard links of entry 27 are listed by fls run here.
TEST(SharedSamples, OlderRecordLayoutMatchesSleuthKit) {
    if (run_shell("command -v fls").exit_code != 0) GTEST_SKIP() << "The Sleuth Kit is not installed";
    int compared = 0;
    for (const char* sample : {"ntfs3.raw", "ntfs3_attrlist.raw"}) {
        const auto bytes = testing_support::shared_sample(sample);
        if (bytes.empty()) continue;
        SCOPED_TRACE(sample);
        const fs::path dir = scratch_dir("oracle-ntfs3");
        const fs::path image = dir / sample;
        std::ofstream(image, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        const auto fls = run_shell("fls -r -p -l -z UTC '" + image.string() + "'");
        ASSERT_EQ(fls.exit_code, 0);
        const auto tsk = parse_fls(fls.out);
        const auto run = run_on("-image", image, {"-csv", "-base10"}, "ntfs3-csv");
        ASSERT_EQ(run.result.exit_code, 0) << run.result.err;
        const auto cmp = compare_with_tsk(tsk, index_by_name(run.table));
        EXPECT_GT(cmp.checked, 15);
        EXPECT_TRUE(cmp.problems.empty()) << cmp.summary();
        fs::remove_all(dir);
        ++compared;
    }
    SKIP_WITHOUT_SAMPLE(compared == 2, "ntfs3.raw.gz, ntfs3_attrlist.raw.gz");
}

}  // namespace
