#include "report/writer_choice.h"

#include <gtest/gtest.h>

#include "report/hash_writer.h"
#include "report_fixtures.h"

using namespace skelvar;
using namespace report_fixtures;

TEST(WriterChoice, ARunThatReportsNothingLeavesTheHeaderOnce) {
    layout_ctx l2t;
    l2t_options(l2t);
    compile_times(l2t);
    std::ostringstream empty;
    report_sink quiet(l2t.context(), empty);
    quiet.finish();
    quiet.finish();
    const std::string text = empty.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_TRUE(text.starts_with("date,time,timezone,MACB,")) << text;
}

// One line per unnamed data stream: digests or "no data", the state, the first filter in the report's own
// order of labels, and the base record of an extension record.
TEST(WriterChoice, HashReportCells) {
    layout_ctx h;
    h.hash_layout = true;
    h.sha1 = true;
    h.pair_datetime = true;
    h.hostname = "ws01";
    h.separator = "|";
    mft_entry_info stub = simple_file();
    stub.header.flags = 0;
    stub.is_extension = true;
    stub.base_ref = make_ref(0x40, 2);
    stub.sha1 = "a9993e364706816aba3e25717850c26c9cd0d89d";
    stub.marks.matched = {"name(rep)", "ext(txt)"};
    mft_entry_info empty = simple_file();
    empty.entry_number = 0x2b;
    EXPECT_EQ(choose_layout(h), output_layout::hash_report);
    const std::vector<std::string> lines = write_lines(h, make_hash_writer, {stub, empty, file_entry(5, true, true)});
    const std::string t = " 2000-01-01 00:00:00.123|";
    std::string times;
    for (int i = 0; i < 8; ++i) times += t;
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "a9993e364706816aba3e25717850c26c9cd0d89d|0x0000002a|0x00000010|" + times +
                            "report.txt|[root]\\|ws01|deleted|ext(txt)|refinode=[0x00000040]");
    EXPECT_EQ(lines[2], "no data|0x0000002b|0x00000010|" + times + "report.txt|[root]\\|ws01|yes||");
}
