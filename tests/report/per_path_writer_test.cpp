#include "report/per_path_writer.h"

#include <gtest/gtest.h>

#include "layout_fixtures.h"

using namespace skelvar;
using namespace layout_fixtures;

namespace {

// -csvperpath -no_whitespace: one '|' between cells, no padding, no space before times.
void compact(layout_ctx& ctx) {
    per_path_options(ctx);
    ctx.no_padding = true;
    ctx.space_before_time = false;
}

std::vector<std::string> per_path_lines(std::vector<mft_entry_info> entries,
                                        void (*adjust)(layout_ctx&) = nullptr) {
    layout_ctx ctx;
    compact(ctx);
    if (adjust) adjust(ctx);
    return write_lines(ctx, make_per_path_writer, entries);
}

// Four date|time pairs in the order modify, access, MFT change, create.
std::string times(const std::string& m, const std::string& a, const std::string& c, const std::string& b) {
    return m + "|" + a + "|" + c + "|" + b;
}
std::string same(const std::string& d) { return times(d, d, d, d); }

const std::string d0 = "2000-01-01|00:00:00.123", d1 = "2000-01-02|00:00:00.123", d2 = "2000-01-03|00:00:00.123",
                  d3 = "2000-01-04|00:00:00.123", blank = "|";

}  // namespace

TEST(PerPathWriter, PaddedHeaderOnceAndLine) {
    layout_ctx ctx;
    per_path_options(ctx);
    compile_times(ctx);
    std::ostringstream out;
    auto w = make_per_path_writer(ctx.context(), out);
    w->write_header();
    w->write(simple_file());
    w->write_header();
    auto lines = split_lines(out.str());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].starts_with("MFT entry |mft seqnum|parent MFT|par seqnum|SI mdate  | mtime-UTC   |SI adate  |"))
        << lines[0];
    EXPECT_NE(lines[0].find("|type   |size      |name           |path" + std::string(56, ' ') + "|sym link|"),
              std::string::npos)
        << lines[0];
    EXPECT_TRUE(lines[1].starts_with("0x0000002a|         3|0x00000005|         5|2000-01-01| 00:00:00.123|")) << lines[1];
    EXPECT_NE(lines[1].find("|file   |0x00000010|report.txt     |[root]\\" + std::string(53, ' ') + "|"),
              std::string::npos)
        << lines[1];
}

TEST(PerPathWriter, OptionalColumnsFollowTheirOptions) {
    auto all = per_path_lines({simple_file()}, [](layout_ctx& c) {
        c.pair_datetime = true;
        c.filerecord_offset = true;
        c.zone_info = true;
        c.hostname = "ws01";
        c.files_copied = true;
        c.include_header = true;
    });
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0],
              "MFT entry|mft seqnum|parent MFT|par seqnum|SI modify-UTC|SI access-UTC|SI MFTchanged-UTC|SI created-UTC|"
              "FN modify-UTC|FN access-UTC|FN MFTchanged-UTC|FN created-UTC|type|size|MFT Offset|name|path|sym link|"
              "object ID|ADS metadata|ZoneInfo|Time warning|hostname|FN8.3 modify-UTC|FN8.3 access-UTC|"
              "FN8.3 MFTchanged-UTC|FN8.3 created-UTC|comment|extracted file path|summary stats|header data");
    const std::string t = "2000-01-01 00:00:00.123";
    EXPECT_EQ(all[1], "0x0000002a|3|0x00000005|5|" + times(t, t, t, t) + "|" + times(t, t, t, t) +
                          "|file|0x00000010|0x00000000|report.txt|[root]\\||||||ws01|||||||names [1]; streams [1]; "
                          "attribs [0]|");

    auto hidden = per_path_lines({simple_file()}, [](layout_ctx& c) { c.hide_dos_fntimes = true; });
    EXPECT_EQ(hidden[0],
              "MFT entry|mft seqnum|parent MFT|par seqnum|SI mdate|mtime-UTC|SI adate|atime-UTC|SI cdate|ctime-UTC|"
              "SI bdate|btime-UTC|FN mdate|mtime-UTC|FN adate|atime-UTC|FN cdate|ctime-UTC|FN bdate|btime-UTC|type|size|"
              "name|path|sym link|object ID|ADS metadata|Time warning|comment|summary stats");
}

TEST(PerPathWriter, DosNameJoinsTheRowOfItsLongName) {
    mft_entry_info e = file_entry(0x40);
    add_si(e, t1, t1, t1, t1);
    add_fn(e, 2, make_ref(0x30, 1), u"Long Report.docx", ns_win32, t2, u"[root]\\docs\\");
    add_fn(e, 3, make_ref(0x30, 1), u"LONGRE~1.DOC", ns_dos, t3);
    // A DOS name with no long name beside it keeps a row of its own, its times in the 8.3 columns.
    add_fn(e, 4, make_ref(0x31, 1), u"STRAY~1.DOC", ns_dos, t0);
    e.resolved_paths[make_attr_key(at_file_name, 4)] = u"[root]\\old\\";
    auto lines = per_path_lines({e});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "0x00000040|3|0x00000030|1|" + same(d1) + "|" + same(d2) +
                            "|file|0x00000000|Long Report.docx|[root]\\docs\\|||||" + same(d3) +
                            "|DOS_name [LONGRE~1.DOC]|names [3]; streams [0]; attribs [0]");
    EXPECT_EQ(lines[2], "0x00000040|3|0x00000031|1|" + same(d1) + "|" + same(blank) +
                            "|file|0x00000000|STRAY~1.DOC|[root]\\old\\|||||" + same(d0) +
                            "||names [3]; streams [0]; attribs [0]");
}

TEST(PerPathWriter, DeletedHardLinksWithStreamsLinksAndWarnings) {
    mft_entry_info e = file_entry(0x1234, false);
    e.sequence_number = 7;
    e.header.link_count = 2;
    add_si(e, t1, t2, t3, t3);  // created, modified, changed, accessed
    add_fn(e, 4, make_ref(0x10, 2), u"a.txt", ns_posix, t1, u"[root]\\one\\");
    add_fn(e, 5, make_ref(0x11, 9), u"b.txt", ns_win32, t1, u"[root]\\two\\");
    add_data(e, 1, u"", 0x20);
    add_data(e, 7, u"secret", 0x13);
    e.reparse_points[make_attr_key(at_reparse_point, 6)].target = u"C:\\t";
    e.object_ids[make_attr_key(at_object_id, 8)].text = "{0011-22}";
    e.time_note = "**:time warning";
    e.owner_sid = "S-1-5-18";
    const std::string middle = "|del|0x00000020|", tail = "|symlink: [C:\\t]|{0011-22}|secret [sz:0x13]|**:time warning|" +
                                                         same(blank) +
                                                         "|multinames [2]; multiroots [2]; [owner_sid: S-1-5-18]|"
                                                         "names [2]; streams [2]; attribs [0]";
    const std::string si = times(d2, d3, d3, d1);
    auto lines = per_path_lines({e}, [](layout_ctx& c) { c.owner_sid = true; });
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "0x00001234|7|0x00000010|2|" + si + "|" + same(d1) + middle + "a.txt|[root]\\one\\" + tail);
    EXPECT_EQ(lines[2], "0x00001234|7|0x00000011|9|" + si + "|" + same(d1) + middle + "b.txt|[root]\\two\\" + tail);
}

TEST(PerPathWriter, EntriesWithoutNamesAndExtensionRecords) {
    mft_entry_info e = file_entry(0x93);
    e.is_extension = true;
    e.base_ref = make_ref(0x40, 3);
    add_si(e, t0, t1, t2, t3);
    auto lines = per_path_lines({e}, [](layout_ctx& c) { c.hex_numbers = false; });
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "147|3|281474976710655|65535|" + times(d1, d3, d2, d0) + "|" + same(blank) +
                            "|file|0|<no filename attribute>|<no path>|||||" + same(blank) +
                            "|refinode: [64]|names [0]; streams [0]; attribs [0]");
}

TEST(PerPathWriter, StreamNameZoneAndClusterRuns) {
    mft_entry_info e = simple_file();
    catalogue_row& ads = add_data(e, 7, u"secret", 0x1000, true);
    ads.runs.push_back({0x100, 0, 0, 1});
    const char zone[] = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=http://x|y\r\n";
    e.zone_texts.emplace_back(zone, zone + sizeof zone - 1);
    layout_ctx ctx;
    compact(ctx);
    ctx.zone_info = true;
    ctx.cluster_info = true;
    compile_times(ctx);
    std::ostringstream out;
    make_per_path_writer(ctx.context(), out)->write(e, u"secret");
    auto lines = split_lines(out.str());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find("|report.txt:secret|[root]\\|||[unnamed data : sz: 0x0010 : resident]; [secret : ads : "
                            "sz: 0x1000 : start cluster/count: 0x000100/1]; |zone_info={\"ZoneId\":\"3\" [internet];"
                            "\"HostUrl\":\"http://x;y\"}||"),
              std::string::npos)
        << lines[1];
}
