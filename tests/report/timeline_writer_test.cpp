#include "report/timeline_writer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/mft_fixture.h"
#include "report_fixtures.h"

using namespace skelvar;
using namespace report_fixtures;

namespace {

// Lines without the header.
std::vector<std::string> body(layout_ctx& ctx, const std::vector<mft_entry_info>& entries) {
    auto lines = write_lines(ctx, make_timeline_writer, entries);
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
}

void no_whitespace(layout_ctx& ctx) {
    ctx.separator = "|";
    ctx.no_padding = true;
    ctx.space_before_time = false;
}

}  // namespace

TEST(TimelineWriter, CsvEscapesLineBreaksAndQuotes) {
    mft_entry_info e = simple_file();
    e.file_names.begin()->second.name = u"x\r\ny\nz\"q";
    layout_ctx ctx;
    csv_options(ctx);
    ctx.quoted_text = true;
    ctx.sep_char = 0;
    auto lines = body(ctx, {e});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "\"0x0000002a\",3,0x00000005,5,\"file\",\"none\",1,2000-01-01, 00:00:00.123,"
                        "\"si:[macb]; fn:[macb]\",\"\",\"x[CRLF]y[LF]z\"\"q\",\"[root]\\\","
                        "\"[unnamed data : sz: 0x0010 : resident]; \"");
}

TEST(TimelineWriter, TimeWindowDropsLinesOutsideIt) {
    mft_entry_info e = file_entry(0x50);
    add_si(e, t0, t1, t2, t3);
    add_fn(e, 2, make_ref(5, 5), u"w.log", ns_win32, t0);
    layout_ctx ctx;
    no_whitespace(ctx);
    ctx.window = {t1, t2};
    auto lines = body(ctx, {e});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("|2000-01-02|00:00:00.123|si:[m...]|"), std::string::npos);
    EXPECT_NE(lines[1].find("|2000-01-03|00:00:00.123|si:[..c.]|"), std::string::npos);
}

TEST(TimelineWriter, UnreadableParentIsMarkedNotDropped) {
    mft_entry_info e = file_entry(0x60);
    add_si(e, t0, t0, t0, t0);
    add_fn(e, 2, make_ref(5, 5), u"kept.txt", ns_win32, t0);
    add_fn(e, 3, make_ref(0x77, 1), u"lost.txt", ns_win32, t0);
    layout_ctx ctx;
    csv_options(ctx);
    testing_support::mft_fixture zeros;  // parent 0x77 reads as no record
    zeros.records.attach(std::make_unique<memory_mft_source>(std::vector<std::uint8_t>(1024 * 8), 1024));
    ctx.paths = &zeros.paths;
    auto lines = body(ctx, {e});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(",kept.txt,[root]\\,"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(",lost.txt,[root]\\<path corrupted>\\,"), std::string::npos) << lines[1];
}

TEST(TimelineWriter, TimesOfOneSecondKeepTheirOwnFraction) {
    // Dates and times are formatted once per second: each line must still show its own fraction,
    // also across entries and after an invalid time.
    const std::uint64_t s = t0 - t0 % 10'000'000;
    const std::vector<std::pair<std::uint64_t, std::string>> cases = {
        {s + 1, "00:00:00.0000001"}, {s + 9'999'999, "00:00:00.9999999"}, {s, "00:00:00.0000000"},
        {0, ""},                     {s + 12'345, "00:00:00.0012345"}, {s + 10'000'000, "00:00:01.0000000"}};
    std::vector<mft_entry_info> entries;
    for (const auto& [t, text] : cases) {
        mft_entry_info e = file_entry(0x70 + entries.size());
        add_si(e, t, t, t, t);
        entries.push_back(e);
    }
    layout_ctx ctx;
    no_whitespace(ctx);
    ctx.time_pattern = "hh:mm:ss.xxxxxxx";
    auto lines = body(ctx, entries);
    ASSERT_EQ(lines.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_NE(lines[i].find("|" + cases[i].second + "|si:[macb]|"), std::string::npos) << lines[i];
}
