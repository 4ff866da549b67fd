#include "app/option_driver.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/mft_entries_ctx.h"
#include "app/parse_driver.h"
#include "common/test_support.h"

namespace skelvar {
namespace {

namespace fs = std::filesystem;

TEST(DriverResults, TooFewArgumentsAndMissingSource) {
    mft_entries_ctx ctx;
    arg_list only_program(std::vector<std::string>{"skelvar"});
    EXPECT_EQ(run_option_driver(ctx, only_program), options_invalid);

    mft_entries_ctx ctx2;
    auto p = parse(ctx2, {"-csv"}, false);
    EXPECT_EQ(p.rc, options_no_source);
    EXPECT_EQ(p.err, "error: need to specify at least an input source [-mftfile, -image, -drivenum, -partition, -vmdk]\n");
}

TEST(Separators, CsvSeparatorDerivesTheCharacterPair) {
    struct row {
        const char* value;
        const char* separator;
        char sep, sub;
    } rows[] = {
        {"|", "|", '|', ';'},   {" , ", " , ", ',', ' '}, {"tab", "\t", 0, 0},
        {"\\T", "\t", 0, 0},    {"::", "::", 0, 0},      {"a|b,c", "a|b,c", '|', ';'},
    };
    for (const row& r : rows) {
        mft_entries_ctx ctx;
        ASSERT_EQ(parse(ctx, {"-csv_separator", r.value}).rc, options_ok);
        EXPECT_EQ(ctx.output.separator, r.separator) << r.value;
        EXPECT_EQ(ctx.output.sep_char, r.sep) << r.value;
        EXPECT_EQ(ctx.output.sub_char, r.sub) << r.value;
    }
}

}  // namespace
}  // namespace skelvar
