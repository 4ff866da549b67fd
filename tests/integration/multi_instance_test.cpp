// A run split over child processes of the built program must give the single
// run's lines, in the single run's order, in every layout, for any instance count.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/multi_instance.h"
#include "common/test_support.h"
#include "oracle_text.h"

namespace fs = std::filesystem;
using namespace testing_support;
using args = std::vector<std::string>;

namespace {

// Every line after the header block (which ends at the first empty line), as written.
args body_lines(const std::string& text) {
    args lines = oracle_text::split(text, '\n');
    auto blank = std::find(lines.begin(), lines.end(), std::string());
    return blank == lines.end() ? args{} : args(blank + 1, lines.end());
}

class MultiInstance : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(skelvar_binary())) GTEST_SKIP() << "skelvar not built";
        dir_ = scratch_dir("multi instance");
        // Spaces and a "$" in paths reach the children unchanged.
        fs::create_directories(dir_ / "case 1");
        mft_ = dir_ / "case 1" / "$MFT";
        fs::copy_file(source_dir() / "samples" / "basic.mft", mft_);
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    // The results file of "skelvar -mftfile <mft> <options> -out <out>" (with -cpu among the options or not).
    std::string results(const args& options, const fs::path& out) {
        args a = {"-mftfile", mft_.string()};
        a.insert(a.end(), options.begin(), options.end());
        a.insert(a.end(), {"-out", out.string()});
        const run_result r = run_skelvar(a);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return read_file(out);
    }

    // The single run and -cpu 2, 3 and 4 give the same lines after the header, in every layout -cpu allows.
    void expect_merges_equal_single_run(const char* what) {
        const std::vector<args> layouts = {
            {},
            {"-csv"},
            {"-csvl2t", "-hostname", "0x0"},  // a value that does not begin with "-" passes as it is
            {"-bodyfile"},
            {"-csvperpath"},
            {"-hashfile", "md5"},
            {"-filepath_only"},
            {"-csv", "-mftstart", "0x10", "-mftrange", "0x65"},
            {"-filter_inode", "5 | 0x44 | 0xb9 | 0x1388"},  // the entry-list walk: each entry once
        };
        const fs::path out = dir_ / "out dir" / "merged.txt", temp = dir_ / "temp dir" / "sub";
        for (const args& layout : layouts) {
            const args want = body_lines(results(layout, dir_ / "single.txt"));
            ASSERT_GT(want.size(), 3u);
            for (const char* n : {"2", "3", "4"}) {
                args options = layout;
                options.insert(options.end(), {"-cpu", n, "-tempdir", temp.string(), "-quiet"});
                const std::string merged = results(options, out);
                EXPECT_EQ(merged.find("\n\n"), merged.find('\n')) << "one header line, then the empty line";
                EXPECT_EQ(body_lines(merged), want) << what << ", -cpu " << n << " " << (layout.empty() ? "" : layout[0]);
            }
        }
        EXPECT_TRUE(fs::is_empty(temp));
    }

    fs::path dir_, mft_;
};

TEST_F(MultiInstance, MergedOutputIsTheSingleRunInEveryLayout) { expect_merges_equal_single_run("basic"); }

// Parents before and after their children, in other slices than the children.
TEST_F(MultiInstance, SyntheticMftMergesToTheSingleRun) {
    const fs::path generator = skelvar_binary().parent_path() / "make_synthetic_mft";
    if (!fs::exists(generator)) GTEST_SKIP() << "make_synthetic_mft not built";
    fs::remove(mft_);
    ASSERT_EQ(run_shell("'" + generator.string() + "' '" + mft_.string() + "' 6000 3").exit_code, 0);
    expect_merges_equal_single_run("synthetic");
}

TEST_F(MultiInstance, SeparateFilesEachWithHeaderAndColumnLineNextToTheOutput) {
    const fs::path out = dir_ / "res.csv";
    results({"-csv", "-cpu", "2", "-separate_files", "-tempdir", (dir_ / "unused").string()}, out);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(dir_ / "unused"));
    args joined = body_lines(read_file(dir_ / "res.csv.00001"));
    const args second = body_lines(read_file(dir_ / "res.csv.00002"));
    const args want = body_lines(results({"-csv"}, dir_ / "single.csv"));
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second.front(), want.front());
    joined.pop_back();  // the empty text after the last line end
    joined.insert(joined.end(), second.begin() + 1, second.end());
    EXPECT_EQ(joined, want);
}

TEST_F(MultiInstance, FailuresSayWhy) {
    skelvar::instance_settings s;
    s.args = {"skelvar", "-mftfile", mft_.string()};
    s.executable = skelvar_binary().string();
    s.out_path = (dir_ / "merged.txt").string();
    EXPECT_EQ(skelvar::run_instances(s).message, "prob handling your options, aborting\n");
    const fs::path bad = dir_ / "no such dir" / "merged.txt";
    s.out_path = bad.string();
    s.tempdir = dir_.string();
    s.mft_entry_count = 189;
    EXPECT_EQ(skelvar::run_instances(s).message, "prob writing to output file: " + bad.string() + "\n");
}

}  // namespace
