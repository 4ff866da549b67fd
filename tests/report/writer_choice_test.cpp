#include "report/writer_choice.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(split_lines(empty.str()).size(), 1u);
    EXPECT_TRUE(empty.str().starts_with("date,time,timezone,MACB,")) << empty.str();
}
