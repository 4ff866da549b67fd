#include "report/l2t_writer.h"

#include <gtest/gtest.h>

#include "layout_fixtures.h"

using namespace skelvar;
using namespace layout_fixtures;

namespace {

const std::string header =
    "date,time,timezone,MACB,source,sourcetype,type,user,host,short,desc,version,filename,inode,notes,format,extra,"
    "ref count,extension,size data,inode seqnum,parent inode,parent seqnum,clusters,header info";

std::vector<std::string> l2t_lines(std::vector<mft_entry_info> entries, void (*adjust)(layout_ctx&) = nullptr) {
    layout_ctx ctx;
    l2t_options(ctx);
    if (adjust) adjust(ctx);
    return write_lines(ctx, make_l2t_writer, entries);
}

void set_fn_times(mft_entry_info& e, attr_key key, std::uint64_t m, std::uint64_t a, std::uint64_t c, std::uint64_t b) {
    for (auto* names : {&e.file_names, &e.path_names}) {
        auto it = names->find(key);
        if (it == names->end()) continue;
        it->second.modified = m;
        it->second.accessed = a;
        it->second.mft_changed = c;
        it->second.created = b;
    }
}

}  // namespace

TEST(L2tWriter, HeaderOnceAndOneEventPerSource) {
    const std::string tail = ",2,[root]\\report.txt,42,,skelvar (brantel),,0x0001,txt,0x000010,0x0003,0x00000005,0x0005,"
                             "[unnamed data : sz: 0x0010 : resident]; ,";
    const std::string lead = "2000-01-01,00:00:00.123,UTC,MACB,FILE,NTFS$MFT,allocated (file),,,";
    const std::string si = lead + "$SI: report.txt,$SI: [MACB] [root]\\report.txt" + tail;
    const std::string fn = lead + "$FN: report.txt,$FN: [MACB] [root]\\report.txt" + tail;
    EXPECT_EQ(l2t_lines({simple_file(), simple_file()}), (std::vector<std::string>{header, si, fn, si, fn}));
}

TEST(L2tWriter, TimesOfOneSourceShareAnEventAndItsLetters) {
    mft_entry_info e = file_entry(0x40);
    e.source_name = u"NTFS:UNALLOC";
    add_si(e, t0, t0, t2, t1);  // created, modified, changed, accessed
    attr_key lng = add_fn(e, 2, make_ref(0x30, 1), u"Long Report.docx", ns_win32, 0, u"[root]\\docs\\");
    attr_key dos = add_fn(e, 3, make_ref(0x30, 1), u"LONGRE~1.DOC", ns_dos, 0);
    set_fn_times(e, lng, t1, t1, t3, t3);
    set_fn_times(e, dos, t2, t2, t2, t3);
    auto lines = l2t_lines({e});
    const std::string docx = "[root]\\docs\\Long Report.docx", doc = "[root]\\docs\\LONGRE~1.DOC";
    auto line = [](std::string day, std::string macb, std::string label, std::string bracket, std::string name,
                   std::string file) {
        return "2000-01-0" + day + ",00:00:00.123,UTC," + macb + ",FILE,NTFS:UNALLOC,allocated (file),,," + label + " " +
               name + "," + label + bracket + " " + file + ",2," + file +
               ",64,,skelvar (brantel),,0x0001,docx,0x000000,0x0003,0x00000030,0x0001,,";
    };
    EXPECT_EQ(lines, (std::vector<std::string>{
                         header,
                         line("1", "M..B", "$SI:", " [M..B]", "Long Report.docx", docx),
                         line("2", ".A..", "$SI:", " [.A", "Long Report.docx", docx),
                         line("2", "MA..", "$FN:", " [MA", "Long Report.docx", docx),
                         line("3", "..C.", "$SI:", " [..C", "Long Report.docx", docx),
                         line("3", "MAC.", "$FN8.3:", " [MAC", "LONGRE~1.DOC", doc),
                         line("4", "..CB", "$FN:", " [..CB]", "Long Report.docx", docx),
                         line("4", "...B", "$FN8.3:", " [...B]", "LONGRE~1.DOC", doc),
                     }));
}

TEST(L2tWriter, DeletedDirectoryNotesAndDecimalNumbers) {
    mft_entry_info e = file_entry(0x1234, false, true);
    e.header.link_count = 2;
    e.sequence_number = 7;
    e.source_offset = 0x48d000;
    e.time_note = "**:time warning";
    e.marks.matched = {"name(a)"};
    add_si(e, t1, t1, t1, t1);
    add_fn(e, 4, make_ref(0x10, 2), u"a", ns_posix, t1, u"[root]\\one\\");
    add_fn(e, 5, make_ref(0x11, 9), u"b", ns_win32, t1, u"[root]\\two\\");
    e.reparse_points[make_attr_key(at_reparse_point, 6)].target = u"C:\\target";
    auto lines = l2t_lines({e}, [](layout_ctx& c) {
        c.hex_numbers = false;
        c.filerecord_offset = true;
        c.hostname = "ws01";
        c.username = "alice";
    });
    ASSERT_EQ(lines.size(), 4u);  // the SI event, then one FN event per name
    const std::string notes =
        "multinames [2]; multiroots [2]; symlink: [C:\\target]; filerecord [4771840]; **:time warning";
    EXPECT_EQ(lines[1], "2000-01-02,00:00:00.123,UTC,MACB,FILE,NTFS$MFT,deleted (dir),alice,ws01,$SI: a,"
                        "$SI: [MACB] [root]\\one\\a,2,[root]\\one\\a,4660," +
                            notes + ",skelvar (brantel),name(a),2,none,0,7,16,2,,");
    EXPECT_EQ(lines[3], "2000-01-02,00:00:00.123,UTC,MACB,FILE,NTFS$MFT,deleted (dir),alice,ws01,$FN: b,"
                        "$FN: [MACB] [root]\\two\\b,2,[root]\\two\\b,4660," +
                            notes + ",skelvar (brantel),name(a),2,none,0,7,17,9,,");
}

TEST(L2tWriter, EveryLineHasTheHeadersColumnCount) {
    const std::u16string awkward[] = {u"comma,name.txt", u"quote\"d \"name\".txt", u"crlf\r\nname", u"lfcr\n\rname",
                                      u"\",\n,\""};
    std::vector<mft_entry_info> entries;
    std::uint64_t n = 0x100;
    for (const auto& name : awkward) {
        mft_entry_info e = file_entry(n++);
        add_si(e, t0, t1, t2, t3);
        add_fn(e, 2, make_ref(5, 5), name, ns_win32, t0, u"[root]\\a,b\n\"c\"\\");
        add_fn(e, 3, make_ref(5, 5), u"AWKWAR~1", ns_dos, t1, u"");
        add_data(e, 1, u"ads,\r\nname", 3);
        entries.push_back(std::move(e));
    }
    struct variant {
        const char* label;
        void (*adjust)(layout_ctx&);
    };
    const variant variants[] = {
        {"plain", [](layout_ctx&) {}},
        {"paired date/time", [](layout_ctx& c) { c.pair_datetime = true; }},
        {"quoted text", [](layout_ctx& c) {
             c.quoted_text = true;
             c.sep_char = 0;
         }},
    };
    for (const variant& v : variants) {
        auto lines = l2t_lines(entries, v.adjust);
        ASSERT_GT(lines.size(), entries.size()) << v.label;
        const std::size_t columns = csv_cells(lines[0]).size();
        EXPECT_EQ(columns, std::string(v.label) == "paired date/time" ? 24u : 25u) << v.label;
        for (std::size_t i = 1; i < lines.size(); ++i)
            EXPECT_EQ(csv_cells(lines[i]).size(), columns) << v.label << ": " << lines[i];
    }
    // The plain form: commas become spaces, line breaks their bracketed names.
    auto plain = l2t_lines({entries[2]});
    EXPECT_NE(plain[1].find(",$SI: crlf[CRLF]name,$SI: [...B] [root]\\a b[LF]\"c\"\\crlf[CRLF]name,"), std::string::npos)
        << plain[1];
    auto quoted = l2t_lines({entries[0]}, [](layout_ctx& c) {
        c.quoted_text = true;
        c.sep_char = 0;
    });
    EXPECT_NE(quoted[1].find(",\"$SI: comma,name.txt\","), std::string::npos) << quoted[1];
}

TEST(L2tWriter, TimeWindowAndEntriesWithoutNames) {
    mft_entry_info e = file_entry(0x99);
    add_si(e, t0, t1, t2, t3);
    e.time_note = "fn:time absent";
    auto lines = l2t_lines({e}, [](layout_ctx& c) {
        c.window = {t1, t2};
        c.l2t_extended = false;
    });
    const std::string tail = ",FILE,NTFS$MFT,allocated (file),,,$SI: <no filename attribute>,";
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "date,time,timezone,MACB,source,sourcetype,type,user,host,short,desc,version,filename,inode,"
                         "notes,format,extra",
                         "2000-01-02,00:00:00.123,UTC,M..." + tail +
                             "$SI: [M <no filename attribute>,2,<no filename attribute>,153,fn:time absent,"
                             "skelvar (brantel),",
                         "2000-01-03,00:00:00.123,UTC,..C." + tail +
                             "$SI: [..C <no filename attribute>,2,<no filename attribute>,153,fn:time absent,"
                             "skelvar (brantel),",
                     }));
}

TEST(L2tWriter, HeaderBytesAreAlwaysHexadecimal) {
    mft_entry_info e = simple_file();
    catalogue_row& data = e.catalogue.begin()->second;
    data.header_sample = {0x4d, 0x5a, 0x90, 0x00};
    data.header_sampled = true;
    for (auto strings : {false, true}) {
        layout_ctx ctx;
        l2t_options(ctx);
        ctx.include_header = !strings;
        ctx.find_strings = strings;
        auto lines = write_lines(ctx, make_l2t_writer, {e});
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_TRUE(lines[1].ends_with("; ,4d 5a 90 00 ")) << lines[1];
    }
}
