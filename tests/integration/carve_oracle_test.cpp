// Records carved from free clusters: volume A's $MFT lies in the free clusters
// of B and B4k (tests/fixtures/make_carve_volumes.sh). What skelvar carves from
// them is compared with what The Sleuth Kit's istat and fls saw on A itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "oracle_text.h"

using namespace testing_support;
using namespace oracle_text;

namespace {

const std::string no_name = "<no filename attribute>";

// Entry -> name -> SI letters ("bmca" order of the records file) -> "date time", as the CSV writes them.
using si_view = std::map<std::uint64_t, std::map<std::string, std::map<char, std::string>>>;

// carve_a.records.txt. mkntfs's records 16-23 hold 0 in their record number field: carved, they are entry 0.
si_view read_a() {
    si_view a;
    for (const auto& line : lines_of(read_file(fixture("carve_a.records.txt")))) {
        const auto f = split(line, '\t');
        if (line[0] == '#' || f.size() != 11 || f[0] == "entry") continue;
        const std::uint64_t entry = std::stoull(f[0]);
        if (entry >= 16 && entry <= 23) continue;
        std::string name = f[10] == "-" ? no_name : f[10];
        std::replace(name.begin(), name.end(), ',', ' ');  // as CSV cells write a comma
        auto& letters = a[entry][name];
        letters['s'] = f[1];  // the sequence number rides along
        // istat's nine digits to seven; TSK's wrapped zero time to none.
        for (int i = 0; i < 4; ++i)
            letters["bmca"[i]] = f[4 + i].starts_with("2076-11-29 08:54:34") ? "" : f[4 + i].substr(0, 27);
    }
    return a;
}

std::string image(const std::string& name) {
    static std::map<std::string, std::string> unpacked;
    std::string& p = unpacked[name];
    if (p.empty()) p = gunzip_to(fixture(name + ".img.gz"), scratch_dir("carve_" + name)).string();
    return p;
}

run_result run(const std::string& volume, std::vector<std::string> args) {
    args.insert(args.begin(), {"-image", image(volume), "-quiet"});
    return run_skelvar(args);
}

results_table run_csv(const std::string& volume, const std::string& mode) {
    return parse_results(run(volume, {mode, "-csv", "-timeformat", "hh:mm:ss.xxxxxxx", "-filerecord_offset"}).out,
                         ',');
}

bool carved(const results_table& t, const std::vector<std::string>& row) {
    return t.cell(row, "type").starts_with("unalloc");
}

}  // namespace

TEST(CarveOracle, FreeClustersGiveBackEveryRecordOfA) {
    const si_view a = read_a();
    for (const std::string volume : {"carve_b", "carve_b4k"}) {
        std::map<std::uint64_t, std::int64_t> offset_of;  // A's entry -> its byte offset in B
        for (const auto& line : lines_of(read_file(fixture(volume + ".map.txt"))))
            if (const auto f = split(line, '\t'); line[0] != '#' && f.size() == 3 && f[0] != "a_entry")
                offset_of[std::stoull(f[0])] = std::stoll(f[1]);
        const results_table t = run_csv(volume, "-filter_unalloc_clusters");
        si_view seen;
        std::set<std::pair<std::uint64_t, std::string>> in_extensions;  // (base entry, name) of extension records
        for (const auto& row : t.rows) {
            const auto entry = static_cast<std::uint64_t>(parse_int(row[0]).value_or(-1));
            const std::string &other = t.cell(row, "other info"), &name = t.cell(row, "name");
            ASSERT_TRUE(carved(t, row)) << volume << ": " << row[0];
            const auto base = other.find("refinode [");
            if (base != std::string::npos) in_extensions.emplace(*parse_int(other.substr(base + 10, 10)), name);
            // Nothing but A's records: base records it lists, or its extension records.
            EXPECT_TRUE(a.count(entry) || base != std::string::npos) << volume << ": entry " << entry;
            if (!a.count(entry) || !a.at(entry).count(name)) continue;
            auto& letters = seen[entry][name];
            letters['s'] = t.cell(row, "mft seqnum");
            const std::string offset = other.substr(other.find("filerecord: ") + 12);
            EXPECT_EQ(parse_int(offset.substr(0, offset.find(';'))), offset_of[entry]) << volume << ": " << entry;
            const std::string& macb = t.cell(row, "MACB");  // "si:[m.c.]; fn:[...]"
            const std::string& date = t.cell(row, "date");
            for (char c : macb.starts_with("si:[") ? macb.substr(4, 4) : "")
                if (c != '.') letters[c] = date + (date.empty() ? "" : " ") + t.cell(row, "time-utc");
        }
        for (const auto& [entry, names] : a)
            for (const auto& [name, letters] : names)
                // A name held in an extension record is carved with that record, which has no SI times.
                if (!in_extensions.count({entry, name})) {
                    EXPECT_EQ(seen[entry][name], letters) << volume << ": entry " << entry << " " << name;
                }
    }
    // A's entry 86 lies in carve_b signed BAAD: fixed up and reported like the others (checked above).
    EXPECT_EQ(a.at(86).at("report.txt").at('m'), "2019-03-04 05:06:07.1234567");
}

// -filter_all_clusters: B's own entries from its $MFT, then the carved ones; -filter_deleted_files_all: only
// the deleted ones of the $MFT. Every layout marks the carved entries; the path list leaves them out.
TEST(CarveOracle, CombinedWalksAndLayouts) {
    // Per walk: the carved rows, and the entries and types of the $MFT's rows.
    auto split_rows = [](const results_table& t, std::set<std::string> out[3]) {
        for (const auto& row : t.rows)
            if (carved(t, row)) out[0].insert(row[0] + "|" + t.cell(row, "name"));
            else out[1].insert(std::to_string(*parse_int(row[0]))), out[2].insert(t.cell(row, "type").substr(0, 3));
    };
    std::set<std::string> alone[3], all[3], deleted[3], b_entries;
    split_rows(run_csv("carve_b", "-filter_unalloc_clusters"), alone);
    split_rows(run_csv("carve_b", "-filter_all_clusters"), all);
    split_rows(run_csv("carve_b", "-filter_deleted_files_all"), deleted);
    for (const fls_name& n : parse_fls(read_file(fixture("carve_b.fls.txt"))))
        if (!n.is_virtual) b_entries.insert(std::to_string(n.entry));
    EXPECT_EQ(all[0], alone[0]);
    EXPECT_EQ(deleted[0], alone[0]);
    EXPECT_TRUE(std::includes(all[1].begin(), all[1].end(), b_entries.begin(), b_entries.end()));
    EXPECT_EQ(deleted[2], std::set<std::string>{"del"});
    EXPECT_TRUE(deleted[1].count("72"));  // old_mft.bin
    const std::pair<std::vector<std::string>, std::string> layouts[] = {
        {{"-bodyfile"}, "album.dat ( deleted-unalloc; file; "},
        {{"-csvl2t"}, ",NTFS:UNALLOC,deleted-unalloc (file),"},
        {{"-csvperpath", "-no_whitespace"}, "|unalloc|"},
        {{"-filepath_only"}, ""}};
    for (const auto& [options, expected] : layouts) {
        std::vector<std::string> args{"-filter_unalloc_clusters"};
        args.insert(args.end(), options.begin(), options.end());
        const std::string out = run("carve_b", args).out;
        EXPECT_EQ(out.find(expected.empty() ? "album.dat" : expected) != std::string::npos, !expected.empty())
            << options[0];
    }
}
