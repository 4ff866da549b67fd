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

TEST(ScriptDriver, ScriptOptionsActAsIfTypedAfterTheCommandLine) {
    const fs::path dir = testing_support::scratch_dir("script");
    const std::string script = (dir / "opts.txt").string();
    std::ofstream(script, std::ios::binary) << "// sources\r\n-mftfile m.bin\r\n-filter_name \"my file\"\r\n-csv\r\n";
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-script", script, "-filter_name", "first"}, false);
    ASSERT_EQ(p.rc, options_ok) << p.err;
    EXPECT_EQ(ctx.source.mftfile_path, "m.bin");
    EXPECT_EQ(ctx.selection.names, (std::vector<std::string>{"first", "my file"}));
    EXPECT_TRUE(ctx.output.csv);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace skelvar
