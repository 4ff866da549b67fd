#include "report/writer_choice.h"

#include <gtest/gtest.h>

#include "layout_fixtures.h"
#include "report/path_only_writer.h"

using namespace skelvar;
using namespace layout_fixtures;

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

TEST(PathOnlyWriter, PathsOfFilesInUse) {
    mft_entry_info file = file_entry(0x40);
    add_fn(file, 2, make_ref(0x30, 1), u"Long Report.docx", ns_win32, t0, u"[root]\\docs\\");
    add_fn(file, 3, make_ref(0x30, 1), u"LONGRE~1.DOC", ns_dos, t0);
    add_fn(file, 4, make_ref(0x31, 1), u"line\nbreak", ns_posix, t0, u"[root]\\a|b\\");
    add_fn(file, 5, make_ref(0x32, 1), u"lost.txt", ns_win32, t0, u"[root]\\<path corrupted>\\x\\");
    mft_entry_info dir = file_entry(0x41, true, true);
    add_fn(dir, 2, make_ref(5, 5), u"folder", ns_win32, t0);
    mft_entry_info deleted = file_entry(0x42, false);
    add_fn(deleted, 2, make_ref(5, 5), u"gone.txt", ns_win32, t0);
    mft_entry_info unnamed = file_entry(0x43);

    layout_ctx ctx;
    ctx.filepath_only = true;
    ctx.separator.clear();
    ctx.sep_char = ctx.sub_char = 0;
    compile_times(ctx);
    std::ostringstream out;
    auto w = make_path_only_writer(ctx.context(), out);
    for (const auto* e : {&file, &dir, &deleted, &unnamed}) w->write(*e);
    w->write(file, u"Zone.Identifier");
    w->write_header();  // the layout has none
    EXPECT_EQ(split_lines(out.str()), (std::vector<std::string>{
                                          "\\docs\\Long Report.docx",
                                          "\\docs\\LONGRE~1.DOC",
                                          "\\a|b\\line[LF]break",
                                          "\\docs\\Long Report.docx:Zone.Identifier",
                                          "\\docs\\LONGRE~1.DOC:Zone.Identifier",
                                          "\\a|b\\line[LF]break:Zone.Identifier",
                                      }));
}
