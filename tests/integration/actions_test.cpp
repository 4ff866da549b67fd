// The per-entry actions run by the built program over the ntfs-3g fixture volumes, compared with what other
// tools read from the same images: owner SIDs (ntfs-3g's ntfssecaudit), leading bytes (TSK's icat) and
// cluster lists (TSK's istat). Oracles: tests/fixtures/make_action_oracles.sh.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "oracle_text.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace oracle_text;

namespace {

// Oracle lines without the comment lines, split at tabs.
std::vector<std::vector<std::string>> oracle(const std::string& name) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& l : lines_of(read_file(fixture(name))))
        if (l[0] != '#') rows.push_back(split(l, '\t'));
    return rows;
}

std::vector<std::uint8_t> from_hex(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string spaced_hex(const std::vector<std::uint8_t>& bytes, std::size_t count) {
    std::string out;
    char b[4];
    for (std::size_t i = 0; i < bytes.size() && i < count; ++i) {
        std::snprintf(b, sizeof b, i ? " %02x" : "%02x", bytes[i]);
        out += b;
    }
    return out;
}

struct run_output {
    run_result result;
    results_table table;
    std::string operator()(std::uint64_t entry, const std::string& column) const { return table.cell_of(entry, column); }
};

// Runs skelvar on a source with tab-separated, unpadded cells.
run_output run(const std::vector<std::string>& source, std::vector<std::string> extra, const fs::path& dir) {
    const fs::path out = dir / "results.txt";
    std::vector<std::string> args = source;
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"-csv", "-csv_separator", "tab", "-quiet", "-out", out.string()});
    run_output r{run_skelvar(args), {}};
    r.table = parse_results(read_file(out), '\t');
    fs::remove(out);
    return r;
}

class ActionsOnVolumes : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new fs::path(scratch_dir("actions-it"));
        for (const char* name : {"basic", "actions"})
            (*images_)[name] = gunzip_to(fixture(std::string(name) + ".img.gz"), *dir_).string();
    }
    static void TearDownTestSuite() {
        fs::remove_all(*dir_);
        delete dir_;
        images_->clear();
    }
    static run_output on_image(const std::string& name, std::vector<std::string> extra) {
        return run({"-image", images_->at(name)}, std::move(extra), *dir_);
    }

    static inline fs::path* dir_ = nullptr;
    static inline std::map<std::string, std::string>* images_ = new std::map<std::string, std::string>();
};

// "[owner_sid: S-...]" of each entry, from its first line.
std::map<std::uint64_t, std::string> owners_of(const run_output& r) {
    static const std::regex owner(R"(\[owner_sid: (S-[0-9-]+)\])");
    std::map<std::uint64_t, std::string> out;
    for (const auto& row : r.table.rows) {
        std::smatch m;
        const std::string& cell = r.table.cell(row, "various data types");
        if (std::regex_search(cell, m, owner)) out.emplace(*parse_int(row[0]), m[1]);
    }
    return out;
}

}  // namespace

TEST_F(ActionsOnVolumes, OwnerSidsMatchNtfssecaudit) {
    // basic: ntfs-3g keeps a descriptor in each new record (security id 0), the system files use $Secure ids
    // 256/257 and the root a non-resident descriptor. actions: every new file has a $Secure id.
    for (const char* name : {"basic", "actions"}) {
        SCOPED_TRACE(name);
        const run_output r = on_image(name, {"-action_include_ownersid"});
        ASSERT_EQ(r.result.exit_code, 0) << r.result.err;
        const auto owners = owners_of(r);
        const auto expected = oracle(std::string(name) + ".owners.txt");
        ASSERT_GT(expected.size(), 9u);
        for (const auto& row : expected) {
            const std::uint64_t entry = std::stoull(row[0]);
            auto it = owners.find(entry);
            if (row[1] == "-") {  // nothing on disk ($MFT: mkntfs leaves its security id 0)
                EXPECT_EQ(it, owners.end()) << "entry " << entry << " (" << row[2] << "): " << it->second;
                continue;
            }
            ASSERT_NE(it, owners.end()) << "no owner SID for entry " << entry << " (" << row[2] << ")";
            EXPECT_EQ(it->second, row[1]) << "entry " << entry << " (" << row[2] << ")";
        }
    }
}

TEST_F(ActionsOnVolumes, HeaderBytesMatchIcat) {
    for (const char* name : {"basic", "actions"}) {
        SCOPED_TRACE(name);
        const run_output r = on_image(name, {"-action_include_header"});
        ASSERT_EQ(r.result.exit_code, 0) << r.result.err;
        for (const char* col : {"size data", "data type", "header info", "various data types"})
            EXPECT_TRUE(r.table.has(col)) << col;
        for (const auto& row : oracle(std::string(name) + ".heads.txt")) {
            if (row[2] != "-") continue;  // the cell shows the unnamed data stream
            const std::uint64_t entry = std::stoull(row[0]);
            EXPECT_EQ(r(entry, "header info"), spaced_hex(from_hex(row[3]), 0x20)) << entry;
        }
    }
}

TEST_F(ActionsOnVolumes, ClusterRunsMatchIstat) {
    static const std::regex item(R"(\[(?:([^\]]*?) : ads|unnamed data) : sz: 0x[0-9a-f]+ : start cluster/count: ((?:[^\]\[]|\[sparse\])*)\])");
    static const std::regex run_text(R"(0x([0-9a-f]{6,})/([0-9]+)( \[sparse\])?)");
    for (const char* name : {"basic", "actions"}) {
        SCOPED_TRACE(name);
        const run_output r = on_image(name, {"-action_include_clusterinfo"});
        ASSERT_TRUE(r.table.has("clusters/relevant data"));
        EXPECT_FALSE(r.table.has("header info"));
        for (const auto& row : oracle(std::string(name) + ".runs.txt")) {
            const std::uint64_t entry = std::stoull(row[0]);
            const std::string& cell = r(entry, "clusters/relevant data");
            std::string clusters;
            bool seen = false;
            for (std::sregex_iterator it(cell.begin(), cell.end(), item), end; it != end; ++it) {
                const std::string stream = (*it)[1].matched ? (*it)[1].str() : "-";
                if (stream != row[2]) continue;
                seen = true;
                const std::string runs = (*it)[2];
                for (std::sregex_iterator rt(runs.begin(), runs.end(), run_text); rt != end; ++rt) {
                    const std::uint64_t lcn = std::stoull((*rt)[1], nullptr, 16);
                    const std::uint64_t count = std::stoull((*rt)[2]);
                    for (std::uint64_t i = 0; i < count; ++i)
                        clusters += (clusters.empty() ? "" : " ") + std::to_string((*rt)[3].matched ? 0 : lcn + i);
                }
            }
            ASSERT_TRUE(seen) << cell;
            EXPECT_EQ(clusters, row[3]) << "entry " << entry << " stream " << row[2];
        }
    }
}
