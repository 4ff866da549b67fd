// Runs skelvar over a generated $MFT (bench/make_synthetic_mft) and checks every name,
// path and deleted mark against what the test itself reads from the generated records.
// The generator puts parents both before and after their children, names across sector
// ends, DOS names, commas and non-ASCII text in names, so the walk, the fixups, the path
// resolution and the CSV cell rules all have to be right for the sets to match.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "support/binary_data.h"
#include "support/utf8.h"
#include "oracle_text.h"

namespace fs = std::filesystem;
using namespace testing_support;
using oracle_text::split;

namespace {

constexpr std::size_t record_size = 1024;

fs::path generator() { return skelvar_binary().parent_path() / "make_synthetic_mft"; }

struct name_row {
    std::uint64_t entry;
    std::string name, path;
    bool dos;
    auto operator<=>(const name_row&) const = default;
};

struct parsed_record {
    bool in_use = false, extension = false;
    std::uint64_t parent = 0;
    std::u16string long_name;
    std::vector<std::pair<std::u16string, bool>> names;  // name, is DOS
};

// Deliberately independent of the parser under test: fixups and attribute walk done here.
std::vector<parsed_record> read_generated(const std::vector<std::uint8_t>& mft) {
    std::vector<parsed_record> out(mft.size() / record_size);
    for (std::size_t e = 0; e < out.size(); ++e) {
        std::vector<std::uint8_t> rec(mft.begin() + e * record_size, mft.begin() + (e + 1) * record_size);
        for (std::size_t i = 1; i <= 2; ++i) {
            rec[i * 512 - 2] = rec[0x30 + 2 * i];
            rec[i * 512 - 1] = rec[0x31 + 2 * i];
        }
        const kavo::binary_data r(rec);
        parsed_record& p = out[e];
        p.in_use = r.u16(0x16) & 1;
        p.extension = r.u64(0x20) != 0;
        for (std::size_t off = r.u16(0x14); r.u32(off) != 0xFFFFFFFFu && r.u32(off + 4) != 0; off += r.u32(off + 4)) {
            if (r.u32(off) != 0x30) continue;
            const kavo::binary_data v = r.sub(off + r.u16(off + 0x14), r.u32(off + 0x10));
            const std::uint8_t ns = v.u8(0x41);
            std::u16string name = v.utf16(0x42, v.u8(0x40));
            p.parent = v.u64(0) & 0x0000FFFFFFFFFFFFull;
            if (ns != 2) p.long_name = name;
            p.names.emplace_back(std::move(name), ns == 2);
        }
    }
    return out;
}

std::string csv_cell(std::u16string_view text) {
    std::string s = uni::to_utf8(text);
    for (char& c : s)
        if (c == ',') c = ' ';
    return s;
}

class SyntheticMft : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(generator()) || !fs::exists(skelvar_binary()))
            GTEST_SKIP() << "make_synthetic_mft or skelvar not built";
        dir_ = scratch_dir("synthetic");
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    fs::path generate(std::uint64_t records, std::uint64_t seed, const std::string& name) {
        const fs::path out = dir_ / name;
        const run_result r = run_shell("'" + generator().string() + "' '" + out.string() + "' " +
                                       std::to_string(records) + " " + std::to_string(seed));
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return out;
    }

    fs::path dir_;
};

TEST_F(SyntheticMft, SameSeedSameBytes) {
    EXPECT_EQ(read_bytes(generate(300, 5, "a.mft")), read_bytes(generate(300, 5, "b.mft")));
    EXPECT_NE(read_bytes(generate(300, 5, "a.mft")), read_bytes(generate(300, 6, "c.mft")));
}

TEST_F(SyntheticMft, EveryNamePathAndDeletedMarkMatchesTheRecords) {
    const fs::path mft = generate(4000, 11, "s.mft");
    const std::vector<parsed_record> recs = read_generated(read_bytes(mft));
    ASSERT_EQ(recs.size(), 4000u);

    auto path_of = [&](std::uint64_t parent) {
        std::vector<std::uint64_t> chain;
        for (std::uint64_t p = parent; p != 5 && chain.size() < 16; p = recs[p].parent) chain.push_back(p);
        std::string path = "[root]\\";
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) path += csv_cell(recs[*it].long_name) + "\\";
        return path;
    };
    std::set<name_row> expected;
    std::set<std::uint64_t> deleted;
    for (std::uint64_t e = 0; e < recs.size(); ++e) {
        if (!recs[e].in_use && !recs[e].extension) deleted.insert(e);
        for (const auto& [name, dos] : recs[e].names) expected.insert({e, csv_cell(name), path_of(recs[e].parent), dos});
    }

    const fs::path out = dir_ / "out.csv";
    const run_result r = run_skelvar({"-mftfile", mft.string(), "-quiet", "-csv", "-out", out.string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;

    std::set<name_row> seen;
    std::set<std::uint64_t> seen_deleted;
    bool in_rows = false;
    for (const std::string& line : oracle_text::lines_of(read_file(out))) {
        if (!in_rows) {
            in_rows = line.rfind("mft entry,", 0) == 0;
            continue;
        }
        const std::vector<std::string> cells = split(line, ',');
        ASSERT_EQ(cells.size(), 14u) << line;
        const std::uint64_t entry = std::stoull(cells[0], nullptr, 16);
        ASSERT_LT(entry, recs.size()) << line;
        if (recs[entry].names.empty()) continue;  // reserved system records, extension records
        seen.insert({entry, cells[11], cells[12], cells[4].find("(FN 8.3)") != std::string::npos});
        if (cells[4].rfind("del", 0) == 0) seen_deleted.insert(entry);
    }
    ASSERT_TRUE(in_rows) << "no column header in the output";

    std::vector<name_row> missing, extra;
    std::set_difference(expected.begin(), expected.end(), seen.begin(), seen.end(), std::back_inserter(missing));
    std::set_difference(seen.begin(), seen.end(), expected.begin(), expected.end(), std::back_inserter(extra));
    for (std::size_t i = 0; i < missing.size() && i < 5; ++i)
        ADD_FAILURE() << "missing: " << missing[i].entry << " " << missing[i].path << missing[i].name;
    for (std::size_t i = 0; i < extra.size() && i < 5; ++i)
        ADD_FAILURE() << "unexpected: " << extra[i].entry << " " << extra[i].path << extra[i].name;
    EXPECT_EQ(missing.size(), 0u);
    EXPECT_EQ(extra.size(), 0u);
    EXPECT_EQ(seen_deleted, deleted);
}

}  // namespace
