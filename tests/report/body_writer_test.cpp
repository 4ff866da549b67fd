#include "report/body_writer.h"

#include <gtest/gtest.h>

#include "layout_fixtures.h"

using namespace skelvar;
using namespace layout_fixtures;

namespace {

// Whole seconds since 1970 of the fixture times.
const std::string s0 = "946684800", s1 = "946771200", s2 = "946857600", s3 = "946944000";
const std::string header = "md5|name|inode|mode as string|uid|gid|size|access time|modify time|mft time|create time";

std::vector<std::string> body_lines(std::vector<mft_entry_info> entries, void (*adjust)(layout_ctx&) = nullptr) {
    layout_ctx ctx;
    body_options(ctx);
    if (adjust) adjust(ctx);
    return write_lines(ctx, make_body_writer, entries);
}

}  // namespace

TEST(BodyWriter, HeaderOnceAndOneLineWhenSiAndFnAgree) {
    const std::string line = "0|[root]\\report.txt (file; SI & FN times match)|42||0|0|16|" + s0 + "|" + s0 + "|" + s0 +
                             "|" + s0;
    EXPECT_EQ(body_lines({simple_file(), simple_file()}), (std::vector<std::string>{header, line, line}));
}

TEST(BodyWriter, DeletedHardLinksGiveSiAndFnLinesPerName) {
    mft_entry_info e = file_entry(0x1234, false);
    e.header.link_count = 2;
    add_si(e, t1, t2, t3, t3);  // created, modified, changed, accessed
    add_fn(e, 4, make_ref(0x10, 2), u"a.txt", ns_posix, t1, u"[root]\\one\\");
    add_fn(e, 5, make_ref(0x11, 9), u"b.txt", ns_win32, t1, u"[root]\\two\\");
    const std::string state = " ( deleted; file; multinames [2]; multiroots [2]; ";
    const std::string si = "|4660||0|0|0|" + s3 + "|" + s2 + "|" + s3 + "|" + s1;
    const std::string fn = "|4660||0|0|0|" + s1 + "|" + s1 + "|" + s1 + "|" + s1;
    EXPECT_EQ(body_lines({e}), (std::vector<std::string>{
                                   header,
                                   "0|[root]\\one\\a.txt" + state + "SI times)" + si,
                                   "0|[root]\\one\\a.txt" + state + "FN times)" + fn,
                                   "0|[root]\\two\\b.txt" + state + "SI times)" + si,
                                   "0|[root]\\two\\b.txt" + state + "FN times)" + fn,
                               }));
}

TEST(BodyWriter, ExtensionRecordsAndEntriesWithoutNames) {
    // An extension record holding only a data fragment: no times, no name.
    mft_entry_info bare = file_entry(0x91);
    bare.is_extension = true;
    bare.base_ref = make_ref(0x40, 3);
    // One whose $FILE_NAME moved out of the base record.
    mft_entry_info named = bare;
    named.entry_number = 0x92;
    add_fn(named, 3, make_ref(5, 5), u"moved.txt", ns_win32, t0);
    // A base record without a $FILE_NAME but with its times.
    mft_entry_info unnamed = file_entry(0x93);
    add_si(unnamed, t0, t1, t2, t3);
    const std::string zero_fn = "|146||0|0|0|" + s0 + "|" + s0 + "|" + s0 + "|" + s0;
    EXPECT_EQ(body_lines({bare, named, unnamed}),
              (std::vector<std::string>{
                  header,
                  "0|<no filename attribute> (SI times)|145||0|0|0|0|0|0|0",
                  "0|[root]\\moved.txt (file; refinode [0x00000040]; SI times)|146||0|0|0|0|0|0|0",
                  "0|[root]\\moved.txt (file; refinode [0x00000040]; FN times)" + zero_fn,
                  "0|<no filename attribute> (SI times)|147||0|0|0|" + s3 + "|" + s1 + "|" + s2 + "|" + s0,
              }));
}

TEST(BodyWriter, SecondsAroundTheEpochTruncateTowardsZero) {
    mft_entry_info e = file_entry(7);
    const std::uint64_t before_epoch = filetime_from_fields(1969, 12, 31, 23, 59, 58) + 5'000'000;  // -1.5 s
    const std::uint64_t just_before = filetime_from_fields(1969, 12, 31, 23, 59, 59) + 5'000'000;   // -0.5 s
    add_si(e, 0, before_epoch, just_before, filetime_from_fields(2001, 2, 3, 4, 5, 6) + 7'890'000);
    add_fn(e, 2, make_ref(5, 5), u"x", ns_win32, t0);
    auto lines = body_lines({e});
    ASSERT_EQ(lines.size(), 3u);
    // access, modify, change, create
    EXPECT_TRUE(lines[1].ends_with("|981173106|-1|0|0")) << lines[1];
}

TEST(BodyWriter, OtherInfoItemsAndAwkwardNames) {
    mft_entry_info e = simple_file();
    e.file_names.begin()->second.name = u"pipe|line\nbreak.txt";
    e.source_offset = 0xa800;
    e.owner_sid = "S-1-5-32-544";
    const char zone[] = "[ZoneTransfer]\r\nZoneId=3\r\n";
    e.zone_texts.emplace_back(zone, zone + sizeof zone - 1);
    auto lines = body_lines({e}, [](layout_ctx& c) {
        c.filerecord_offset = true;
        c.zone_info = true;
        c.owner_sid = true;
    });
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "0|[root]\\pipe;line[LF]break.txt (file; filerecord [0xa800]; owner_sid [ S-1-5-32-544]; "
                        "ZoneInfo {ZoneId:3 [internet]}; "
                        "SI & FN times match)|42||0|0|16|" +
                            s0 + "|" + s0 + "|" + s0 + "|" + s0);

    // A separator set after -bodyfile does not let a '|' into the name cell.
    auto other = body_lines({e}, [](layout_ctx& c) {
        c.separator = "\t";
        c.sep_char = 0;
    });
    ASSERT_EQ(other.size(), 2u);
    EXPECT_TRUE(other[1].starts_with("0\t[root]\\pipe;line[LF]break.txt (file; SI & FN")) << other[1];
}
