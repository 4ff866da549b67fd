// Names that try to forge structure: a leading or inner double quote, line breaks and
// separators. Every layout is read back as its readers would: the comma layouts with an
// RFC 4180 reader, the others by their separator.
#include <gtest/gtest.h>

#include "report/body_writer.h"
#include "report/hash_writer.h"
#include "report/l2t_writer.h"
#include "report/per_path_writer.h"
#include "report/timeline_writer.h"
#include "report_fixtures.h"

using namespace skelvar;
using namespace report_fixtures;

namespace {

struct layout_case {
    const char* label;
    void (*options)(layout_ctx&);
    std::unique_ptr<layout_writer> (*make)(const report_context&, std::ostream&);
    std::string_view sep;
    bool rfc;
    const char* name_column;  // header text of the cell holding the name; empty: not checked
};

void timeline(layout_ctx&) {}
void csv(layout_ctx& c) { csv_options(c); }
void quoted_csv(layout_ctx& c) {
    csv_options(c);
    c.quoted_text = true;
    c.sep_char = 0;
}
void l2t(layout_ctx& c) { l2t_options(c); }
void per_path(layout_ctx& c) {
    c.csvperpath = true;
    c.separator = "|";
}
void body_file(layout_ctx& c) { body_options(c); }

}  // namespace

TEST(LayoutText, CraftedNamesForgeNoLinesOrCells) {
    const layout_case layouts[] = {
        {"timeline", timeline, make_timeline_writer, " | ", false, "name"},
        {"csv", csv, make_timeline_writer, ",", true, "name"},
        {"csv quoted", quoted_csv, make_timeline_writer, ",", true, "name"},
        {"csvl2t", l2t, make_l2t_writer, ",", true, ""},
        {"csvperpath", per_path, make_per_path_writer, "|", true, "name"},
        {"bodyfile", body_file, make_body_writer, "|", false, ""},
        {"hash report", csv, make_hash_writer, ",", true, "filename"},
    };
    const std::u16string names[] = {u"plain.txt", u"\"lead.txt", u"mid\"dle\".txt", u"two\r\nlines\n\r.txt",
                                    u"cr\rlf\n.txt", u"pipe|comma,.txt"};
    for (const layout_case& lc : layouts) {
        SCOPED_TRACE(lc.label);
        std::size_t plain_lines = 0;
        for (const std::u16string& name : names) {
            mft_entry_info e = simple_file();
            e.file_names.begin()->second.name = name;
            add_data(e, 3, u"ads\"", 4);
            layout_ctx ctx;
            lc.options(ctx);
            const auto lines = write_lines(ctx, lc.make, {e});
            ASSERT_GE(lines.size(), 2u);
            const auto header = read_cells(lines[0], lc.sep, lc.rfc);
            ASSERT_TRUE(header);
            if (name == u"plain.txt") plain_lines = lines.size();
            std::size_t name_at = header->size();
            for (std::size_t c = 0; c < header->size(); ++c)
                if ((*header)[c] == lc.name_column) name_at = c;
            for (std::size_t i = 1; i < lines.size(); ++i) {
                const auto cells = read_cells(lines[i], lc.sep, lc.rfc);
                ASSERT_TRUE(cells) << lines[i];
                EXPECT_EQ(cells->size(), header->size()) << lines[i];
                // A quote survives the round trip where the reader reads quotes.
                if (lc.rfc && name_at < cells->size() && name[0] == u'"') {
                    EXPECT_EQ((*cells)[name_at], "\"lead.txt");
                }
            }
            EXPECT_EQ(lines.size(), plain_lines);
        }
    }
}
