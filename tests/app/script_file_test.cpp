#include "app/script_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/mft_entries_ctx.h"
#include "app/option_driver.h"
#include "common/test_support.h"

namespace skelvar {
namespace {

namespace fs = std::filesystem;
using tokens = std::vector<std::string>;

TEST(ScriptLineBreaks, EveryStyleSplitsLines) {
    const tokens want = {"-csv", "-quiet", "-base10"};
    EXPECT_EQ(script_tokens("-csv\r\n-quiet\r\n-base10"), want);
    EXPECT_EQ(script_tokens("-csv\r-quiet\r-base10"), want);
    EXPECT_EQ(script_tokens("-csv\n-quiet\n-base10\n"), want);
    EXPECT_EQ(script_tokens("-csv\n\r-quiet\n\r-base10"), want);
}

TEST(ScriptLineBreaks, NoBreakOrMixedBreaksAddNothing) {
    EXPECT_TRUE(script_tokens("-csv -quiet").empty());
    EXPECT_EQ(script_tokens("-csv -quiet\n"), (tokens{"-csv", "-quiet"}));
    EXPECT_TRUE(script_tokens("-csv\r\n-quiet\n-base10\n").empty());
    EXPECT_TRUE(script_tokens("").empty());
    // Only the first 1024 bytes decide the style.
    std::string late(1100, ' ');
    late += "\n-csv\n";
    EXPECT_TRUE(script_tokens(late).empty());
}

TEST(ScriptLines, CommentsAndEmptyLinesAreSkipped) {
    EXPECT_EQ(script_tokens("// -csv\n\n   \n  -quiet  // not a comment here\n"),
              (tokens{"-quiet", "//", "not", "a", "comment", "here"}));
}

TEST(ScriptTokens, QuotedTokensJoinWithSingleSpaces) {
    EXPECT_EQ(script_tokens("-filter_name \"my   file\"\n"), (tokens{"-filter_name", "my file"}));
    EXPECT_EQ(script_tokens("-out \"a.txt\" -x\n"), (tokens{"-out", "a.txt", "-x"}));
    EXPECT_EQ(script_tokens("-filter_ext \"exe | dll\" -csv\n"), (tokens{"-filter_ext", "exe | dll", "-csv"}));
    // An unclosed quote runs to the end of its line.
    EXPECT_EQ(script_tokens("-filter_name \"open end\n-csv\n"), (tokens{"-filter_name", "open end", "-csv"}));
}

class ScriptDriver : public testing::Test {
protected:
    void SetUp() override { dir_ = testing_support::scratch_dir("script"); }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& text) {
        fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }

    int run(mft_entries_ctx& ctx, std::vector<std::string> a, std::vector<std::string>* left = nullptr) {
        a.insert(a.begin(), "skelvar");
        arg_list args(std::move(a));
        testing::internal::CaptureStderr();
        int rc = run_option_driver(ctx, args, "ver: 0.95", "", u"");
        err_ = testing::internal::GetCapturedStderr();
        if (left) *left = args.leftovers();
        return rc;
    }

    fs::path dir_;
    std::string err_;
};

TEST_F(ScriptDriver, ScriptOptionsActAsIfTypedAfterTheCommandLine) {
    std::string script = write("opts.txt", "// sources\r\n-mftfile m.bin\r\n-filter_name \"my file\"\r\n-csv\r\n");
    mft_entries_ctx ctx;
    ASSERT_EQ(run(ctx, {"-script", script, "-filter_name", "first"}), options_ok) << err_;
    EXPECT_EQ(ctx.mftfile_path, "m.bin");
    EXPECT_EQ(ctx.filter_names, (std::vector<std::string>{"first", "my file"}));
    EXPECT_TRUE(ctx.csv);
}

TEST_F(ScriptDriver, UnreadableOrBreaklessScriptAddsNothing) {
    mft_entries_ctx missing;
    EXPECT_EQ(run(missing, {"-script", (dir_ / "none.txt").string()}), options_no_source);

    std::string one_line = write("one.txt", "-mftfile m.bin");
    mft_entries_ctx breakless;
    EXPECT_EQ(run(breakless, {"-script", one_line}), options_no_source);

    std::string with_break = write("two.txt", "-mftfile m.bin\n");
    mft_entries_ctx broken;
    EXPECT_EQ(run(broken, {"-script", with_break}), options_ok);
}

TEST_F(ScriptDriver, AScriptNamingItselfIsExpandedOnce) {
    fs::path self = dir_ / "self.txt";
    write("self.txt", "-script " + self.string() + "\n-mftfile m.bin\n");
    mft_entries_ctx ctx;
    std::vector<std::string> left;
    EXPECT_EQ(run(ctx, {"-script", self.string()}, &left), options_ok);
    EXPECT_TRUE(left.empty());
}

}  // namespace
}  // namespace skelvar
