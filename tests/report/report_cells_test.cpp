#include <gtest/gtest.h>

#include "report/other_info.h"
#include "report/stream_info.h"
#include "report_fixtures.h"

using namespace skelvar;
using namespace report_fixtures;

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
