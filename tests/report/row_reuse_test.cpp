// Cells that did not change since the previous line are copied from it: what comes out
// must be exactly what formatting every cell afresh would give.
#include <gtest/gtest.h>

#include "report/output_row.h"
#include "report/row_writer.h"
#include "report/date_time.h"

using namespace skelvar;

namespace {

std::string fresh_line(const output_row& row, const row_format& f) {
    row_writer w(f);
    return w.format_row(row);
}

}  // namespace

TEST(RowReuse, CopiedCellsMatchFreshlyFormattedOnes) {
    output_row row;
    const int a = row.add(kind_text, 0, 6, "a");
    const int b = row.add(kind_u32, 0, 0, "b");
    const int when = row.add(kind_date, 0, 10, "date");
    row.add(kind_time, 0, 12, "time");
    const int c = row.add(kind_text, col_right, 8, "c");
    const int d = row.add(kind_text, 0, 0, "d");
    row_format f;
    f.separator = " | ";
    f.escape_line_breaks = true;
    compile_date_time_format("yyyy-mm-dd", "hh:mm:ss.xxx", false, f.time_format);
    row_writer w(f);

    std::string buffer = "first";
    set_text(row, a, buffer);
    set_number(row, b, 7, 4);
    set_time(row, when, 125911584001234567ull, kind_date);
    set_text(row, c, "x,y");
    set_text(row, d, "tail\n");
    EXPECT_EQ(w.format_row(row), fresh_line(row, f));

    // One cell in the middle changes; its neighbours on both sides are copied.
    set_number(row, b, 0x1234, 4);
    EXPECT_EQ(w.format_row(row), fresh_line(row, f));

    // A longer text in the first cell moves every copied cell behind it.
    buffer = "a much longer first cell";
    set_text(row, a, buffer);
    EXPECT_EQ(w.format_row(row), fresh_line(row, f));

    // Nothing changed at all, then the last cell only, then the time pair.
    EXPECT_EQ(w.format_row(row), fresh_line(row, f));
    set_text(row, d, "");
    EXPECT_EQ(w.format_row(row), fresh_line(row, f));
    set_time(row, when, 0, kind_date);
    EXPECT_EQ(w.format_row(row), fresh_line(row, f));

    // A header line between two rows leaves nothing stale behind.
    w.format_header(row);
    EXPECT_EQ(w.format_row(row), fresh_line(row, f));

    // Another row of the same shape through the same writer is formatted afresh.
    output_row other = row;
    set_text(other, c, "other");
    EXPECT_EQ(w.format_row(other), fresh_line(other, f));
    EXPECT_EQ(w.format_row(row), fresh_line(row, f));
}
