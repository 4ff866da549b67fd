#include "report/timeline_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "common/mft_fixture.h"
#include "report_fixtures.h"

using namespace skelvar;
using namespace report_fixtures;

namespace {

std::vector<std::string> all_lines(layout_ctx& ctx, const std::vector<mft_entry_info>& entries) {
    return write_lines(ctx, make_timeline_writer, entries);
}

// Lines without the header.
std::vector<std::string> body(layout_ctx& ctx, const std::vector<mft_entry_info>& entries) {
    auto lines = all_lines(ctx, entries);
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
}

// Long name and DOS name in the same directory; SI times t1, both names' times t2.
mft_entry_info short_and_long() {
    mft_entry_info e = file_entry(0x40);
    add_si(e, t1, t1, t1, t1);
    add_fn(e, 2, make_ref(0x30, 1), u"Long Report.docx", ns_win32, t2, u"[root]\\docs\\");
    add_fn(e, 3, make_ref(0x30, 1), u"LONGRE~1.DOC", ns_dos, t2);
    return e;
}

void no_whitespace(layout_ctx& ctx) {
    ctx.separator = "|";
    ctx.no_padding = true;
    ctx.space_before_time = false;
}

const std::string simple_csv_line =
    "0x0000002a,3,0x00000005,5,file,txt,1,2000-01-01, 00:00:00.123,si:[macb]; fn:[macb],,report.txt,[root]\\,"
    "[unnamed data : sz: 0x0010 : resident]; ";

}  // namespace

TEST(TimelineWriter, HeaderAndLineOfDefaultLayout) {
    layout_ctx ctx;
    auto lines = (all_lines(ctx, {simple_file(), simple_file()}));
    ASSERT_EQ(lines.size(), 3u);  // one header, then one line per entry: all eight times are equal
    EXPECT_EQ(lines[0], "mft entry  | mft seqnum | parent mft | par seqnum | type    | ext       | ref | date       | "
                        " time-utc     | MACB" + std::string(29, ' ') + " | other info     | name" +
                            std::string(11, ' ') + " | path" + std::string(56, ' ') + " | various data types" +
                            std::string(82, ' '));
    EXPECT_EQ(lines[1],
              "0x0000002a |          3 | 0x00000005 |          5 | file    | txt       |   1 | 2000-01-01 | "
              " 00:00:00.123 | si:[macb]; fn:[macb]              |                | report.txt      | [root]\\" +
                  std::string(53, ' ') + " | [unnamed data : sz: 0x0010 : resident]; " + std::string(60, ' '));
    EXPECT_EQ(lines[2], lines[1]);
}

TEST(TimelineWriter, HeaderAndLineOfCsvAndNoWhitespace) {
    const std::string header = "mft entry,mft seqnum,parent mft,par seqnum,type,ext,ref,date, time-utc,MACB,other info,"
                               "name,path,various data types";
    layout_ctx csv;
    csv_options(csv);
    EXPECT_EQ((all_lines(csv, {simple_file()})), (std::vector<std::string>{header, simple_csv_line}));
    // No padding, no space before the time, '|' between cells.
    auto bar = [](std::string s) {
        std::replace(s.begin(), s.end(), ',', '|');
        const auto at = s.find("| ");
        return s.replace(at, 2, "|");
    };
    layout_ctx plain;
    no_whitespace(plain);
    EXPECT_EQ((all_lines(plain, {simple_file()})),
              (std::vector<std::string>{bar(header), bar(simple_csv_line)}));
}

TEST(TimelineWriter, DosNameLinesAndHidingThem) {
    layout_ctx ctx;
    no_whitespace(ctx);
    auto lines = body(ctx, {short_and_long()});
    const std::string lead = "0x00000040|3|0x00000030|1|";
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], lead + "file|docx|1|2000-01-02|00:00:00.123|si:[macb]||Long Report.docx|[root]\\docs\\|");
    // The DOS name borrows the path of the long name in the same directory.
    EXPECT_EQ(lines[1], lead + "file (FN 8.3)|docx|1|2000-01-02|00:00:00.123|si:[macb]||LONGRE~1.DOC|[root]\\docs\\|");
    EXPECT_EQ(lines[2], lead + "file|docx|1|2000-01-03|00:00:00.123|fn:[macb]||Long Report.docx|[root]\\docs\\|");
    EXPECT_EQ(lines[3], lead + "file (FN 8.3)|docx|1|2000-01-03|00:00:00.123|fn8.3[macb]||LONGRE~1.DOC|[root]\\docs\\|");

    layout_ctx hidden;
    no_whitespace(hidden);
    hidden.hide_dos_fntimes = true;
    auto shown = body(hidden, {short_and_long()});
    ASSERT_EQ(shown.size(), 2u);
    for (const auto& l : shown) EXPECT_EQ(l.find("FN 8.3"), std::string::npos) << l;
    EXPECT_EQ(shown[1], lines[2]);
}

TEST(TimelineWriter, DeletedHardLinksInTwoDirectories) {
    mft_entry_info e = file_entry(0x1234, false);
    e.sequence_number = 7;
    e.header.link_count = 2;
    add_si(e, t1, t2, t3, t3);
    add_fn(e, 4, make_ref(0x10, 2), u"a.txt", ns_posix, t1, u"[root]\\one\\");
    add_fn(e, 5, make_ref(0x11, 9), u"b.txt", ns_win32, t1, u"[root]\\two\\");
    layout_ctx ctx;
    csv_options(ctx);
    auto lines = body(ctx, {e});
    const std::string lead = "0x00001234,7,";
    const std::string tail = ",del,txt,2,";
    const std::string other = ",multinames [2]; multiroots [2],";
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], lead + "0x00000010,2" + tail + "2000-01-02, 00:00:00.123,si:[...b]; fn:[macb]" + other +
                            "a.txt,[root]\\one\\,");
    EXPECT_EQ(lines[1], lead + "0x00000011,9" + tail + "2000-01-02, 00:00:00.123,si:[...b]; fn:[macb]" + other +
                            "b.txt,[root]\\two\\,");
    EXPECT_EQ(lines[5], lead + "0x00000011,9" + tail + "2000-01-04, 00:00:00.123,si:[.ac.]" + other +
                            "b.txt,[root]\\two\\,");
}

TEST(TimelineWriter, EntryWithoutFileName) {
    mft_entry_info e = file_entry(0x99);
    add_si(e, t0, t0, t0, t0);
    layout_ctx ctx;
    csv_options(ctx);
    EXPECT_EQ(body(ctx, {e}), std::vector<std::string>{"0x00000099,3,0xffffffffffff,65535,file,none,1,2000-01-01, "
                                                        "00:00:00.123,si:[macb],,<no filename attribute>,<no path>,"});
}

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

TEST(TimelineWriter, Base10AndActionColumns) {
    mft_entry_info e = simple_file();
    e.catalogue.begin()->second.value_length = 300;
    layout_ctx ctx;
    ctx.hex_numbers = false;
    ctx.include_header = true;
    ctx.md5 = ctx.sha1 = ctx.sha256 = true;
    auto lines = (all_lines(ctx, {e}));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("| ref | size data  | date       |"), std::string::npos);
    EXPECT_NE(lines[0].find("| MACB" + std::string(29, ' ') + " | data type      | other info     | MD5 hash"),
              std::string::npos);
    EXPECT_NE(lines[0].find("| SHA1 hash" + std::string(31, ' ') + " | SHA256 hash" + std::string(53, ' ') + " | name"),
              std::string::npos);
    EXPECT_TRUE(lines[0].ends_with("| header info")) << lines[0];
    // Entry, parent and size turn decimal; the sequence numbers and the link count are decimal anyway.
    EXPECT_TRUE(lines[1].starts_with("42         |          3 |          5 |          5 | file    | txt       |   1 | "
                                     "       300 | 2000-01-01 |"))
        << lines[1];
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

TEST(TimelineWriter, UnreadableParentDropsOnlyThatName) {
    mft_entry_info e = file_entry(0x60);
    add_si(e, t0, t0, t0, t0);
    add_fn(e, 2, make_ref(5, 5), u"kept.txt", ns_win32, t0);
    add_fn(e, 3, make_ref(0x77, 1), u"lost.txt", ns_win32, t0, u"");  // the walk could not resolve it
    e.marks.matched = {"ext(txt)", "name(kept)"};
    layout_ctx ctx;
    csv_options(ctx);
    testing_support::mft_fixture zeros;  // parent 0x77 reads as no record
    zeros.records.attach(std::make_unique<memory_mft_source>(std::vector<std::uint8_t>(1024 * 8), 1024));
    ctx.paths = &zeros.paths;
    auto lines = body(ctx, {e});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(",multinames [2]; multiroots [2]; ext(txt); name(kept),kept.txt,"), std::string::npos)
        << lines[0];
}

TEST(TimelineWriter, DirectoryUnallocatedAndInvalidTimes) {
    mft_entry_info dir = file_entry(0x70, true, true);
    add_si(dir, t0, t0, t0, 0);  // a zero access time still makes a line, with blank time cells
    add_fn(dir, 2, make_ref(5, 5), u"My.Folder", ns_win32, t0);
    mft_entry_info carved = simple_file();
    carved.from_unallocated = true;
    layout_ctx ctx;
    no_whitespace(ctx);
    auto lines = body(ctx, {dir, carved});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].starts_with("0x00000070|3|0x00000005|5|dir|none|1|||si:[.a..]||My.Folder|")) << lines[0];
    EXPECT_NE(lines[2].find("|unalloc|txt|"), std::string::npos);

    layout_ctx padded;
    auto wide = body(padded, {dir});
    EXPECT_NE(wide[0].find("|   1 | " + std::string(10, ' ') + " | " + std::string(13, ' ') + " | si:[.a..]"), std::string::npos) << wide[0];
}

TEST(TimelineWriter, RepeatedNameAttributeWritesOnce) {
    mft_entry_info e = file_entry(0x80);
    add_si(e, t0, t0, t0, t1);
    add_fn(e, 2, make_ref(5, 5), u"twice.txt", ns_win32, t0);
    add_fn(e, 6, make_ref(5, 5), u"twice.txt", ns_win32, t0);  // the same name met again in an extension
    add_fn(e, 7, make_ref(5, 5), u"other.txt", ns_win32, t1);
    layout_ctx ctx;
    no_whitespace(ctx);
    auto lines = body(ctx, {e});
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[0].find("|si:[m.cb]; fn:[macb]|multinames [3]|twice.txt|"), std::string::npos) << lines[0];
    // The letters belong to the timestamp, not to the name: other.txt shares the cell's fn letters.
    EXPECT_NE(lines[1].find("|si:[m.cb]; fn:[macb]|multinames [3]|other.txt|"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("|si:[.a..]; fn:[macb]|multinames [3]|twice.txt|"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("|si:[.a..]; fn:[macb]|multinames [3]|other.txt|"), std::string::npos) << lines[3];
}
