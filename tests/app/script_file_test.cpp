#include "app/script_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/mft_entries_ctx.h"
#include "app/parse_driver.h"
#include "common/test_support.h"

namespace skelvar {
namespace {

namespace fs = std::filesystem;
using tokens = std::vector<std::string>;

TEST(ScriptLineBreaks, OneStyleSplitsLinesNoneOrMixedAddNothing) {
    const tokens want = {"-csv", "-quiet", "-base10"};
    for (const char* text : {"-csv\r\n-quiet\r\n-base10", "-csv\r-quiet\r-base10", "-csv\n-quiet\n-base10\n",
                             "-csv\n\r-quiet\n\r-base10"})
        EXPECT_EQ(script_tokens(text), want);

    EXPECT_TRUE(script_tokens("-csv -quiet").empty());
    EXPECT_TRUE(script_tokens("-csv\r\n-quiet\n-base10\n").empty());
    // Only the first 1024 bytes decide the style.
    EXPECT_TRUE(script_tokens(std::string(1100, ' ') + "\n-csv\n").empty());
}

TEST(ScriptLines, CommentsEmptyLinesAndQuotes) {
    EXPECT_EQ(script_tokens("// -csv\n\n   \n  -quiet  // not a comment here\n"),
              (tokens{"-quiet", "//", "not", "a", "comment", "here"}));
    EXPECT_EQ(script_tokens("-filter_name \"my   file\"\n"), (tokens{"-filter_name", "my file"}));
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

    fs::path dir_;
};

TEST_F(ScriptDriver, ScriptOptionsActAsIfTypedAfterTheCommandLine) {
    std::string script = write("opts.txt", "// sources\r\n-mftfile m.bin\r\n-filter_name \"my file\"\r\n-csv\r\n");
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-script", script, "-filter_name", "first"}, false);
    ASSERT_EQ(p.rc, options_ok) << p.err;
    EXPECT_EQ(ctx.source.mftfile_path, "m.bin");
    EXPECT_EQ(ctx.selection.names, (std::vector<std::string>{"first", "my file"}));
    EXPECT_TRUE(ctx.output.csv);
}

TEST_F(ScriptDriver, UnreadableBreaklessOrSelfNamingScripts) {
    mft_entries_ctx missing;
    EXPECT_EQ(parse(missing, {"-script", (dir_ / "none.txt").string()}, false).rc, options_no_source);

    mft_entries_ctx breakless;
    EXPECT_EQ(parse(breakless, {"-script", write("one.txt", "-mftfile m.bin")}, false).rc, options_no_source);

    // A script naming itself is expanded once.
    fs::path self = dir_ / "self.txt";
    write("self.txt", "-script " + self.string() + "\n-mftfile m.bin\n");
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-script", self.string()}, false);
    EXPECT_EQ(p.rc, options_ok);
    EXPECT_TRUE(p.left.empty());
}

}  // namespace
}  // namespace skelvar
