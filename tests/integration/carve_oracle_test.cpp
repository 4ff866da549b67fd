// Records carved from free clusters: volume A's $MFT lies in the free clusters
// of B and B4k (tests/fixtures/make_carve_volumes.sh). What skelvar carves from
// them is compared with what The Sleuth Kit's istat and fls saw on A itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "oracle_text.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace oracle_text;

namespace {

// Entry -> name -> SI letter -> "date time" as one record of A holds them.
using si_view = std::map<std::uint64_t, std::map<std::string, std::map<char, std::string>>>;

const char si_letters[] = "bmca";  // created, modified, MFT modified, accessed: the order of the records file

// istat's "2019-03-04 05:06:07.123456700" to skelvar's seven digits; TSK's zero time to none.
std::string si_text(const std::string& istat) {
    return istat.starts_with("2076-11-29 08:54:34") ? std::string() : istat.substr(0, 27);
}

struct a_view {
    si_view si;
    std::map<std::uint64_t, std::uint16_t> sequence;
};

const std::string no_name = "<no filename attribute>";

// carve_a.records.txt. mkntfs's records 16-23 hold 0 in their record number field: carved, they are entry 0.
a_view read_a() {
    a_view a;
    for (const auto& line : lines_of(read_file(fixture("carve_a.records.txt")))) {
        const auto f = split(line, '\t');
        if (line[0] == '#' || f.size() != 11 || f[0] == "entry") continue;
        const std::uint64_t entry = std::stoull(f[0]);
        if (entry >= 16 && entry <= 23) continue;
        a.sequence[entry] = static_cast<std::uint16_t>(std::stoul(f[1]));
        auto& letters = a.si[entry][f[10] == "-" ? no_name : f[10]];
        for (int i = 0; i < 4; ++i) letters[si_letters[i]] = si_text(f[4 + i]);
    }
    return a;
}

const std::string carve_options[] = {"-csv", "-timeformat", "hh:mm:ss.xxxxxxx", "-filerecord_offset", "-quiet"};

std::string image(const std::string& name) {
    static std::map<std::string, fs::path> unpacked;
    fs::path& p = unpacked[name];
    if (p.empty()) p = gunzip_to(fixture(name + ".img.gz"), scratch_dir("carve_" + name));
    return p.string();
}

results_table run_csv(const std::string& name, std::vector<std::string> args) {
    args.insert(args.begin(), {"-image", image(name)});
    args.insert(args.end(), std::begin(carve_options), std::end(carve_options));
    const run_result r = run_skelvar(args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return parse_results(r.out, ',');
}

bool carved(const results_table& t, const std::vector<std::string>& row) {
    return t.cell(row, "type").starts_with("unalloc");
}

// The SI letters of a row's MACB cell ("si:[m.c.]; fn:[macb]" -> "mc").
std::string si_of(const std::string& macb) {
    if (!macb.starts_with("si:[")) return {};
    std::string out;
    for (char c : macb.substr(4, 4))
        if (c != '.') out += c;
    return out;
}

}  // namespace

TEST(CarveOracle, FreeClustersGiveBackEveryRecordOfA) {
    const a_view a = read_a();
    std::map<std::uint64_t, std::uint64_t> offset_of;  // A's entry -> its byte offset in B
    for (const std::string volume : {"carve_b", "carve_b4k"}) {
        offset_of.clear();
        for (const auto& line : lines_of(read_file(fixture(volume + ".map.txt")))) {
            const auto f = split(line, '\t');
            if (line[0] != '#' && f.size() == 3 && f[0] != "a_entry") offset_of[std::stoull(f[0])] = std::stoull(f[1]);
        }
        const results_table t = run_csv(volume, {"-filter_unalloc_clusters"});
        si_view seen;
        std::map<std::uint64_t, std::string> offsets;
        std::set<std::pair<std::uint64_t, std::string>> in_extensions;  // (base entry, name) held by its extension records
        for (const auto& row : t.rows) {
            const std::uint64_t entry = static_cast<std::uint64_t>(parse_int(row[0]).value_or(-1));
            const std::string& other = t.cell(row, "other info");
            ASSERT_TRUE(carved(t, row)) << volume << ": " << row[0];
            // Nothing but A's records: base records it lists, or its extension records.
            const auto base = other.find("refinode [");
            if (base != std::string::npos)
                in_extensions.emplace(parse_int(other.substr(base + 10, other.find(']', base) - base - 10)).value_or(-1),
                                      t.cell(row, "name"));
            EXPECT_TRUE(a.si.count(entry) || base != std::string::npos || entry == 0) << volume << ": entry " << entry;
            if (!a.si.count(entry) || !a.si.at(entry).count(t.cell(row, "name"))) continue;
            if (entry != 0 || t.cell(row, "name") != no_name) {
                EXPECT_EQ(t.cell(row, "mft seqnum"), std::to_string(a.sequence.at(entry))) << entry;
            }
            offsets[entry] = other.substr(other.find("filerecord: ") + 12, other.find(';') - other.find(':') - 2);
            for (char c : si_of(t.cell(row, "MACB")))
                seen[entry][t.cell(row, "name")][c] = t.cell(row, "date") + (t.cell(row, "date").empty() ? "" : " ") +
                                                      t.cell(row, "time-utc");
        }
        for (const auto& [entry, names] : a.si) {
            for (const auto& [name, times] : names) {
                // CSV cells write a comma as a space.
                std::string shown = name;
                std::replace(shown.begin(), shown.end(), ',', ' ');
                // A name in an extension record is carved with that record (which holds no SI times).
                if (in_extensions.count({entry, shown})) continue;
                EXPECT_EQ(seen[entry][shown], times) << volume << ": entry " << entry << " " << name;
            }
            ASSERT_TRUE(offset_of.count(entry)) << entry;
            EXPECT_EQ(parse_int(offsets[entry]), static_cast<std::int64_t>(offset_of.at(entry)))
                << volume << ": entry " << entry;
        }
    }
    // A's entry 86 lies in carve_b signed BAAD: fixed up and reported like the others (checked above).
    EXPECT_EQ(a.si.at(86).at("report.txt").at('m'), "2019-03-04 05:06:07.1234567");
}

// -filter_all_clusters: B's own entries from its $MFT, then the carved ones;
// -filter_deleted_files_all: only the deleted ones of the $MFT.
TEST(CarveOracle, CombinedWalksAddTheMftEntries) {
    std::set<std::string> carved_alone, b_entries;
    const results_table alone = run_csv("carve_b", {"-filter_unalloc_clusters"});
    for (const auto& row : alone.rows) carved_alone.insert(row[0] + "|" + alone.cell(row, "name"));
    for (const fls_name& n : parse_fls(read_file(fixture("carve_b.fls.txt"))))
        if (!n.is_virtual) b_entries.insert(std::to_string(n.entry));

    for (const char* mode : {"-filter_all_clusters", "-filter_deleted_files_all"}) {
        const results_table t = run_csv("carve_b", {mode});
        std::set<std::string> carved_here, from_mft;
        for (const auto& row : t.rows) {
            if (carved(t, row)) {
                carved_here.insert(row[0] + "|" + t.cell(row, "name"));
            } else {
                from_mft.insert(std::to_string(parse_int(row[0]).value_or(-1)));
                const bool deleted_only = std::string(mode) == "-filter_deleted_files_all";
                EXPECT_TRUE(!deleted_only || t.cell(row, "type").starts_with("del")) << row[0];
            }
        }
        EXPECT_EQ(carved_here, carved_alone) << mode;
        if (std::string(mode) == "-filter_all_clusters") {
            for (const std::string& e : b_entries) EXPECT_TRUE(from_mft.count(e)) << "B's entry " << e;
        } else {
            EXPECT_TRUE(from_mft.count("72"));  // old_mft.bin, deleted (mkntfs's unused 16-23 too)
        }
    }
}

// Every layout says a carved entry came from unallocated space; the path list names existing files only.
TEST(CarveOracle, LayoutsMarkCarvedEntries) {
    struct layout_case {
        std::vector<std::string> options;
        std::string expected;
    };
    for (const layout_case& c : {layout_case{{"-bodyfile"}, "album.dat ( deleted-unalloc; file; "},
                                 layout_case{{"-csvl2t"}, ",NTFS:UNALLOC,deleted-unalloc (file),"},
                                 layout_case{{"-csvperpath", "-no_whitespace"}, "|unalloc|"},
                                 layout_case{{"-filepath_only"}, ""}}) {
        std::vector<std::string> args{"-image", image("carve_b"), "-filter_unalloc_clusters", "-quiet"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const run_result r = run_skelvar(args);
        const std::string& wanted = c.expected.empty() ? std::string("album.dat") : c.expected;
        EXPECT_EQ(r.out.find(wanted) != std::string::npos, !c.expected.empty()) << c.options[0] << "\n" << r.out.substr(0, 2000);
    }
    // Progress every 153 free clusters.
    const run_result r = run_skelvar({"-image", image("carve_b"), "-filter_unalloc_clusters", "-out",
                                      (scratch_dir("carve_progress") / "out.txt").string()});
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = r.err.find("analyzing entry ", at)) != std::string::npos; ++lines)
        EXPECT_EQ(std::stoull(r.err.substr(at += 16)) % 153, 0u);
    EXPECT_GT(lines, 10u);
}
