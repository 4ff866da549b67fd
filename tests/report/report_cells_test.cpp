#include <gtest/gtest.h>

#include "ntfs/memory_mft_source.h"
#include "report/macb_text.h"
#include "report/other_info.h"
#include "report/output_row.h"
#include "report/row_writer.h"
#include "report/stream_info.h"
#include "report/timestamp_map.h"
#include "report_fixtures.h"

using namespace skelvar;
using namespace report_fixtures;

namespace {

std::string line_of(const output_row& row, row_format f) {
    row_writer w(std::move(f));
    std::string l = w.format_row(row);
    l.pop_back();  // line feed
    return l;
}

}  // namespace

TEST(RowWriter, NumberCells) {
    output_row row;
    int a = row.add(kind_u64, 0, 10, "a");
    int b = row.add(kind_u16, 0, 0, "b");
    int c = row.add(kind_u32, col_decimal, 6, "c");
    int d = row.add(kind_u8, 0, 4, "d");
    set_number(row, a, 0x1f, 8);
    set_number(row, b, 0x12345, 2);  // only the two bytes of the kind
    set_number(row, c, 77, 4);
    set_number(row, d, 0xab, 1);
    row_format f;
    f.separator = "|";
    EXPECT_EQ(line_of(row, f), "0x0000001f|0x2345|    77|0xab");
    f.padding = false;
    EXPECT_EQ(line_of(row, f), "0x0000001f|0x2345|77|0xab");
    f.padding = true;
    f.hex_numbers = false;
    EXPECT_EQ(line_of(row, f), "        31|9029|    77| 171");
    // A value wider than the column is written whole.
    set_number(row, a, 0x123456789abull, 8);
    f.hex_numbers = true;
    EXPECT_EQ(line_of(row, f).substr(0, 13), "0x123456789ab");
}

TEST(RowWriter, TextCellsAlignCutAndCountCharacters) {
    output_row row;
    int l = row.add(kind_text, 0, 6, "l");
    int r = row.add(kind_text, col_right, 6, "r");
    int m = row.add(kind_text, col_centred, 7, "m");
    int k = row.add(kind_text, col_cut, 0, "k");
    row.columns[static_cast<std::size_t>(k)].max_length = 3;
    set_text(row, l, "\xc3\xa9t\xc3\xa9");  // three characters, five bytes
    set_text(row, r, "ab");
    set_text(row, m, "ab");
    set_text(row, k, "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9");
    set_text(row, -1, "ignored");
    set_text(row, 99, "ignored");
    set_number(row, l, 5, 3);  // no such byte width: the cell keeps its text
    set_time(row, r, t0, 99);
    row_format f;
    f.separator = "|";
    EXPECT_EQ(line_of(row, f), "\xc3\xa9t\xc3\xa9   |    ab|  ab   |\xc3\xa9\xc3\xa9\xc3\xa9");
}

TEST(RowWriter, HeaderCentresAndMarksTimeColumns) {
    output_row row;
    row.add(kind_text, col_centred, 8, "ab");
    row.add(kind_date, 0, 10, "date");
    row.add(kind_time, 0, 12, "time-utc");
    row_format f;
    f.separator = "|";
    row_writer w(f);
    EXPECT_EQ(w.format_header(row), "   ab   |date      | time-utc    \n");
    row.clear_widths();
    EXPECT_EQ(w.format_header(row), "ab|date| time-utc\n");
}

TEST(RowWriter, TimeCellsReuseTextAndBlankInvalidTimes) {
    output_row row;
    int d = row.add(kind_date, 0, 10, "date");
    row.add(kind_time, 0, 12, "time-utc");
    int p = row.add(kind_date_time, 0, 23, "date/time-utc");
    row_format f;
    f.separator = "|";
    f.padding = false;
    row_writer w(f);
    set_time(row, d, t0, kind_date);
    set_time(row, p, t1, kind_date_time);
    EXPECT_EQ(w.format_row(row), "2000-01-01| 00:00:00.123| 2000-01-02 00:00:00.123\n");
    set_time(row, d, t1, kind_date);
    EXPECT_EQ(w.format_row(row), "2000-01-02| 00:00:00.123| 2000-01-02 00:00:00.123\n");
    // Year 1899 and a set top bit are invalid: empty cells when unpadded.
    set_time(row, d, filetime_from_fields(1899, 12, 31, 0, 0, 0), kind_date);
    set_time(row, p, 0x8000000000000000ull, kind_date_time);
    EXPECT_EQ(w.format_row(row), "||\n");
}

TEST(MacbText, SourcesAndLetters) {
    timestamp_map map;
    map.enter(t1, src_si, 'm', 0, false);
    map.enter(t1, src_si, 'b', 0, false);
    map.enter(t1, src_fn, 'b', 0, false);
    map.enter(t0, src_fn83, 'a', 1, true);
    map.enter(t1, src_fn83, 'c', 1, true);
    map.enter(t1, src_si, 'x', 0, false);  // not a MACB letter
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map[0].value, t0);
    EXPECT_EQ(map[1].long_names, std::vector<std::uint32_t>{0});
    EXPECT_EQ(map[1].dos_names, std::vector<std::uint32_t>{1});
    std::string s;
    append_macb_text(map[1], true, false, s);
    EXPECT_EQ(s, "si:[m..b]; fn:[...b]");
    s.clear();
    append_macb_text(map[1], false, true, s);
    EXPECT_EQ(s, "si:[m..b]; fn8.3[..c.]");
    s.clear();
    append_macb_text(map[0], true, false, s);
    EXPECT_EQ(s, "");
    // Cleared and refilled, the pooled cells start afresh.
    map.clear();
    map.enter(t1, src_fn, 'a', 3, false);
    s.clear();
    append_macb_text(map[0], true, true, s);
    EXPECT_EQ(s, "fn:[.a..]");
    EXPECT_EQ(map[0].long_names, std::vector<std::uint32_t>{3});
}

TEST(OtherInfo, ItemsInOrder) {
    mft_entry_info e = file_entry(0x21);
    add_fn(e, 2, make_ref(5, 5), u"link", ns_win32, t0);
    e.reparse_points[make_attr_key(at_reparse_point, 4)] = {0xA000000C, u"C:\\target"};
    e.reparse_points[make_attr_key(at_reparse_point, 5)] = {0xA0000003, u"\\??\\D:\\other"};
    e.is_extension = true;
    e.base_ref = make_ref(0x1c, 4);
    e.attribute_list_non_resident = true;
    e.source_offset = 0x8400;
    e.marks.matched = {"inode(33)"};
    layout_ctx ctx;
    ctx.filerecord_offset = true;
    ctx.extracted_file = true;
    std::string s;
    append_other_info(e, ctx.context(), s);
    EXPECT_EQ(s, "symlink: [C:\\target; \\??\\D:\\other]; refinode [0x0000001c]; "
                 "attrib list non-resident [not avail for parsing w/o image]; filerecord: 0x8400; inode(33)");
    ctx.hex_numbers = false;
    ctx.extracted_file = false;
    s.clear();
    append_other_info(e, ctx.context(), s);
    EXPECT_EQ(s, "symlink: [C:\\target; \\??\\D:\\other]; refinode [28]; filerecord: 33792; inode(33)");
}

TEST(StreamInfo, StreamsRunsAndRecordNumbers) {
    mft_entry_info e = file_entry(0x30);
    add_si(e, t0, t0, t0, t0);
    e.standard_infos.begin()->second.usn = 0x1a2b;
    e.standard_infos.begin()->second.security_id = 0x10f;
    e.header.logfile_sequence = 0x10044;
    catalogue_row& data = add_data(e, 1, u"", 0x12345, true);
    data.runs = {{0x5a3c, 0, 0, 16}, {0, 16, 1, 4}};
    add_data(e, 3, u"Zone.Identifier", 0x1a);
    e.catalogue[make_attr_key(at_index_root, 2)].label = "indx root";  // not a data stream
    layout_ctx ctx;
    std::string s;
    append_stream_info(e, ctx, s);
    EXPECT_EQ(s, "[unnamed data : sz: 0x12345 : nonresident]; [Zone.Identifier : ads : sz: 0x001a : resident]; "
                 "[logfile_seqnum: 0x010044][usnjrnl_indx: 0x001a2b][security_id: 0x010f]");
    ctx.cluster_info = true;
    s.clear();
    append_stream_info(e, ctx, s);
    EXPECT_TRUE(s.starts_with("[unnamed data : sz: 0x12345 : start cluster/count: 0x005a3c/16 : "
                              "0x000000/4 [sparse]]; [Zone.Identifier : ads : sz: 0x001a : resident]; "))
        << s;
}
