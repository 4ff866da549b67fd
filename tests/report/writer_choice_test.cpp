#include "report/writer_choice.h"

#include <gtest/gtest.h>

#include "report_fixtures.h"
#include "report/path_only_writer.h"

using namespace skelvar;
using namespace report_fixtures;

TEST(WriterChoice, SinkWritesTheChosenLayoutAndAHeaderForAnEmptyRun) {
    layout_ctx ctx;
    body_options(ctx);
    compile_times(ctx);
    std::ostringstream out;
    {
        report_sink sink(ctx.context(), out);
        EXPECT_EQ(sink.layout(), output_layout::body_file);
        mft_entry_info e = file_entry(0x2a);
        add_si(e, t0, t0, t0, t0);
        add_fn(e, 2, make_ref(5, 5), u"r.txt", ns_win32, t0);
        sink.write(e);
        sink.finish();
    }
    auto lines = split_lines(out.str());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].starts_with("md5|name|inode|")) << lines[0];
    EXPECT_TRUE(lines[1].starts_with("0|[root]\\r.txt (file; SI & FN times match)|42|")) << lines[1];

    // Nothing reported: the header alone, once.
    layout_ctx l2t;
    l2t_options(l2t);
    compile_times(l2t);
    std::ostringstream empty;
    report_sink quiet(l2t.context(), empty);
    quiet.finish();
    quiet.finish();
    EXPECT_EQ(split_lines(empty.str()).size(), 1u);
    EXPECT_TRUE(empty.str().starts_with("date,time,timezone,MACB,")) << empty.str();
}
