#include "report/body_writer.h"

#include <gtest/gtest.h>

#include "report_fixtures.h"

using namespace skelvar;
using namespace report_fixtures;

namespace {

std::vector<std::string> body_lines(std::vector<mft_entry_info> entries, void (*adjust)(layout_ctx&) = nullptr) {
    layout_ctx ctx;
    body_options(ctx);
    if (adjust) adjust(ctx);
    return write_lines(ctx, make_body_writer, entries);
}

}  // namespace

TEST(BodyWriter, SecondsAroundTheEpochTruncateTowardsZero) {
    mft_entry_info e = file_entry(7);
    const std::uint64_t before_epoch = filetime_from_fields(1969, 12, 31, 23, 59, 58) + 5'000'000;  // -1.5 s
    const std::uint64_t just_before = filetime_from_fields(1969, 12, 31, 23, 59, 59) + 5'000'000;   // -0.5 s
    add_si(e, 0, before_epoch, just_before, filetime_from_fields(2001, 2, 3, 4, 5, 6) + 7'890'000);
    add_fn(e, 2, make_ref(5, 5), u"x", ns_win32, t0);
    auto lines = body_lines({e});
    ASSERT_EQ(lines.size(), 3u);
    // access, modify, change, create
    EXPECT_TRUE(lines[1].ends_with("|981173106|-1|0|0")) << lines[1];
}

// Pieces longer than the writer's short copies (a long separator) must still reach the line.
TEST(BodyWriter, LongSeparatorKeepsEveryCell) {
    mft_entry_info e = file_entry(7);
    add_si(e, t0, t0, t0, t0);
    add_fn(e, 2, make_ref(5, 5), u"x", ns_win32, t0);
    const std::string sep(70, '#');
    auto lines = body_lines({e}, [](layout_ctx& c) {
        c.separator = std::string(70, '#');
        c.sep_char = 0;
    });
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[1].starts_with("0" + sep)) << lines[1];
    std::size_t cells = 1;
    for (std::size_t at = 0; (at = lines[1].find(sep, at)) != std::string::npos; at += sep.size()) ++cells;
    EXPECT_EQ(cells, 11u) << lines[1];
}
