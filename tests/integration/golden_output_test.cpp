// Every layout, and the options that shape its cells, on the fixture volumes, against results recorded
// earlier (tests/fixtures/data/golden/<case>.txt.gz). Any change of output fails here. When a change is
// meant, rerun with SKELVAR_UPDATE_GOLDEN=1 and review the difference of the recorded files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "oracle_text.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

struct golden_case {
    const char* name;
    const char* fixture;  // .gz under tests/fixtures/data: an extracted $MFT or a volume image
    std::vector<std::string> options;
};

const std::vector<std::string> actions = {"-action_include_header", "-action_include_ownersid",
                                          "-action_include_zoneinfo", "-action_include_clusterinfo"};

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const golden_case cases[] = {
    {"mft_timeline", "basic.mft.gz", {}},
    {"mft_csv", "basic.mft.gz", {"-csv"}},
    {"mft_l2t", "basic.mft.gz", {"-csvl2t"}},
    {"mft_body", "basic.mft.gz", {"-bodyfile"}},
    {"mft_per_path", "basic.mft.gz", {"-csvperpath"}},
    {"mft_paths", "basic.mft.gz", {"-filepath_only"}},
    {"mft_decimal_paired", "basic.mft.gz", {"-base10", "-pair_datetime", "-hide_dos_fntimes", "-filerecord_offset"}},
    {"mft_compact", "basic.mft.gz", {"-no_whitespace", "-dateformat", "mm/dd/yyyy", "-timeformat", "hh:mm:ss"}},
    {"mft_quoted", "basic.mft.gz", {"-csv", "-enable_quoted_csv_fields", "-action_find_strings_in_hdr"}},
    {"img_filters", "basic.img.gz", {"-filter_ext", "txt | dat", "-filter_name", "level", "-filter_deleted_files"}},
    {"img_actions", "actions.img.gz", actions},
    {"img_actions_csv", "actions.img.gz", with({"-csv"}, actions)},
    {"img_actions_l2t", "actions.img.gz", with({"-csvl2t"}, actions)},
    {"img_actions_per_path", "actions.img.gz", with({"-csvperpath", "-pair_datetime"}, actions)},
    {"img_actions_body", "actions.img.gz", {"-bodyfile", "-action_include_ownersid", "-action_include_zoneinfo"}},
    {"img_timestomp_csv", "timestomp.img.gz", {"-csv"}},
};

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The results without their first line (run date and command line). The source is named relative to
// the working folder, as the log2timeline layout shows its name.
std::string results_of(const golden_case& c, const fs::path& dir) {
    const fs::path source = gunzip_to(oracle_text::fixture(c.fixture), dir);
    const bool mft = std::string(c.fixture).find(".mft") != std::string::npos;
    std::string cmd = "cd " + quoted(dir.string()) + " && " + quoted(skelvar_binary().string()) +
                      (mft ? " -mftfile " : " -image ") + source.filename().string() + " -quiet -out results.txt";
    for (const std::string& o : c.options) cmd += " " + quoted(o);
    const run_result r = run_shell(cmd + " </dev/null");
    EXPECT_EQ(r.exit_code, 0) << c.name << ": " << r.err;
    const std::string text = read_file(dir / "results.txt");
    return text.substr(text.find('\n') + 1);
}

// Line number and both lines of the first difference.
std::string first_difference(const std::string& want, const std::string& got) {
    const auto a = oracle_text::split(want, '\n'), b = oracle_text::split(got, '\n');
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return "line " + std::to_string(i + 2) + "\n  recorded: " + (i < a.size() ? a[i] : "<end>") +
           "\n  now:      " + (i < b.size() ? b[i] : "<end>");
}

}  // namespace

TEST(GoldenOutput, EveryLayoutAsRecorded) {
    const fs::path dir = scratch_dir("golden");
    const fs::path recorded = source_dir() / "tests" / "fixtures" / "data" / "golden";
    const bool update = std::getenv("SKELVAR_UPDATE_GOLDEN") != nullptr;
    for (const golden_case& c : cases) {
        const std::string got = results_of(c, dir);
        const fs::path file = recorded / (std::string(c.name) + ".txt.gz");
        if (update) {
            fs::create_directories(recorded);
            std::ofstream(dir / "new.txt", std::ios::binary) << got;
            run_shell("gzip -9nc '" + (dir / "new.txt").string() + "' > '" + file.string() + "'");
        }
        const std::string want = run_shell("gzip -dc '" + file.string() + "'").out;
        EXPECT_FALSE(want.empty()) << c.name << ": nothing recorded";
        if (want != got) ADD_FAILURE() << c.name << " differs at " << first_difference(want, got);
    }
    fs::remove_all(dir);
}
