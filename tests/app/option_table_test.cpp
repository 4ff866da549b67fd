// Effects of the options of every table on the run context.
#include "app/option_table.h"

#include <gtest/gtest.h>

#include "app/mft_entries_ctx.h"
#include "app/option_driver.h"
#include "app/parse_driver.h"
#include "common/test_support.h"

namespace skelvar {
namespace {

TEST(FilterValues, ListsNumbersAndSizes) {
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-filter_ext", "exe | dll;sys", "-filter_inode", "5 | 0x10, junk; 0x0001000000000020",
                         "-filter_dir_inode", "0x5", "-filter_max_size", "0x100", "-scanstart", "0x1000"});
    ASSERT_EQ(p.rc, options_ok) << p.err;
    EXPECT_EQ(ctx.selection.exts, (std::vector<std::string>{"exe", "dll", "sys"}));
    // Entry numbers keep the low 48 bits; what does not parse is reported and skipped.
    EXPECT_EQ(ctx.selection.inodes, (std::set<std::uint64_t>{5, 16, 32}));
    EXPECT_EQ(ctx.selection.dir_inodes, std::set<std::uint64_t>{5});
    EXPECT_NE(p.err.find("junk"), std::string::npos);
    EXPECT_EQ(ctx.selection.max_size, 256u);
    EXPECT_EQ(ctx.walk.scan_start, 4096u);
}

TEST(FilterValues, SignaturesPatternsAndModes) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-filter_sig", "hive | MZ"}).rc, options_ok);
    EXPECT_EQ(ctx.selection.sig_types, (std::vector<std::uint32_t>{35, 30}));
    EXPECT_TRUE(ctx.header.wanted);
    EXPECT_EQ(ctx.header.length, 0x40u);

    // The deleted and cluster modes imply AND logic.
    mft_entries_ctx modes;
    ASSERT_EQ(parse(modes, {"-filter_unalloc_clusters", "-filter_deleted_files"}).rc, options_ok);
    EXPECT_TRUE(modes.unalloc_scan && modes.selection.and_logic && modes.selection.deleted_only);
}

}  // namespace
}  // namespace skelvar
