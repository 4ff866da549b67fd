#include "app/option_driver.h"

#include <gtest/gtest.h>

#include "app/mft_entries_ctx.h"
#include "app/parse_driver.h"

namespace skelvar {
namespace {

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
