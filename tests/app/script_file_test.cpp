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

}  // namespace
}  // namespace skelvar
