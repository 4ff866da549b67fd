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

const std::string header = "skelvar ver: 0.95 [merged]\n\n";

// Every line after the header block (which ends at the first empty line), as written.
args body_lines(const std::string& text) {
    args lines = oracle_text::split(text, '\n');
    auto blank = std::find(lines.begin(), lines.end(), std::string());
    return blank == lines.end() ? args{} : args(blank + 1, lines.end());
}

bool has(const args& a, const char* option) { return std::find(a.begin(), a.end(), option) != a.end(); }

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

    args single(const args& options) {
        const fs::path out = dir_ / "single.txt";
        args a = {"-mftfile", mft_.string(), "-quiet", "-out", out.string()};
        a.insert(a.end(), options.begin(), options.end());
        const run_result r = run_skelvar(a);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return body_lines(read_file(out));
    }

    // The settings the run driver makes of "skelvar -mftfile <mft> -cpu <n> -out <out> <options>".
    skelvar::instance_settings settings(unsigned n, const args& options, const fs::path& out) {
        skelvar::instance_settings s;
        s.instances = n;
        s.args = {"skelvar", "-mftfile", mft_.string(), "-cpu", std::to_string(n), "-out", out.string()};
        s.args.insert(s.args.end(), options.begin(), options.end());
        s.executable = skelvar_binary().string();
        s.out_path = out.string();
        s.separate_files = has(options, "-separate_files");
        s.header_text = header;
        s.mft_entry_count = fs::file_size(mft_) / 1024;
        s.column_line = !has(options, "-filepath_only");
        return s;
    }

    fs::path dir_, mft_;
};

TEST_F(MultiInstance, MergedOutputIsTheSingleRunInEveryLayout) {
    const std::vector<args> layouts = {{},           {"-csv"},          {"-csvl2t"},          {"-bodyfile"},
                                       {"-csvperpath"}, {"-hashfile", "md5"}, {"-filepath_only"},
                                       {"-csv", "-mftstart", "0x10", "-mftrange", "0x65"}};
    const fs::path out = dir_ / "out dir" / "merged.txt", temp = dir_ / "temp dir" / "sub";
    fs::create_directories(out.parent_path());
    for (const args& layout : layouts) {
        const args want = single(layout);
        ASSERT_GT(want.size(), 10u);
        for (unsigned n : {2u, 3u, 4u}) {
            skelvar::instance_settings s = settings(n, layout, out);
            s.tempdir = temp.string();
            if (has(layout, "-mftstart")) {
                s.mft_start = 0x10;
                s.mft_range = 0x65;
            }
            const skelvar::instance_status st = skelvar::run_instances(s);
            ASSERT_TRUE(st.ok) << st.message;
            const std::string merged = read_file(out);
            EXPECT_EQ(merged.substr(0, header.size()), header);
            EXPECT_EQ(body_lines(merged), want) << n << " instances, " << (layout.empty() ? "" : layout[0]);
        }
    }
    EXPECT_TRUE(fs::is_empty(temp));
}

// Parents before and after their children, in other slices than the children.
TEST_F(MultiInstance, SyntheticMftMergesToTheSingleRun) {
    const fs::path generator = skelvar_binary().parent_path() / "make_synthetic_mft";
    if (!fs::exists(generator)) GTEST_SKIP() << "make_synthetic_mft not built";
    fs::remove(mft_);
    ASSERT_EQ(run_shell("'" + generator.string() + "' '" + mft_.string() + "' 20000 3").exit_code, 0);
    const fs::path out = dir_ / "merged.csv";
    ASSERT_TRUE(skelvar::run_instances(settings(3, {"-csv"}, out)).ok);
    EXPECT_EQ(body_lines(read_file(out)), single({"-csv"}));
}

TEST_F(MultiInstance, SeparateFilesEachWithHeaderAndColumnLineNextToTheOutput) {
    const fs::path out = dir_ / "res.csv";
    skelvar::instance_settings s = settings(2, {"-csv", "-separate_files"}, out);
    s.tempdir = (dir_ / "unused").string();
    ASSERT_TRUE(skelvar::run_instances(s).ok);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(dir_ / "unused"));
    args joined = body_lines(read_file(dir_ / "res.csv.00001"));
    const args second = body_lines(read_file(dir_ / "res.csv.00002"));
    const args want = single({"-csv"});
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second.front(), want.front());
    joined.pop_back();  // the empty text after the last line end
    joined.insert(joined.end(), second.begin() + 1, second.end());
    EXPECT_EQ(joined, want);
}

TEST_F(MultiInstance, FailuresSayWhy) {
    skelvar::instance_settings s = settings(2, {}, dir_ / "merged.txt");
    s.mft_entry_count = 0;
    EXPECT_EQ(skelvar::run_instances(s).message, "prob handling your options, aborting\n");
    const fs::path bad = dir_ / "no such dir" / "merged.txt";
    s = settings(2, {}, bad);
    s.tempdir = dir_.string();
    EXPECT_EQ(skelvar::run_instances(s).message, "prob writing to output file: " + bad.string() + "\n");
}

}  // namespace
