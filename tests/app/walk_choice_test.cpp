#include "app/walk_choice.h"

#include <gtest/gtest.h>

#include "app/mft_entries_ctx.h"
#include "select/filter_building.h"

namespace skelvar {
namespace {

TEST(WalkChoice, EntryNumbersAloneAreReadDirectly) {
    mft_entries_ctx ctx;
    EXPECT_EQ(choose_walk(ctx), walk_plan::range);
    ctx.filter_inodes = {5, 7};
    EXPECT_EQ(choose_walk(ctx), walk_plan::entry_list);
    // The cluster options do not prevent the list walk (and are then not carried out).
    ctx.unalloc_scan = true;
    ctx.all_clusters = true;
    EXPECT_EQ(choose_walk(ctx), walk_plan::entry_list);
}

TEST(WalkChoice, AnyOtherFilterMeansTheRangeWalk) {
    auto with = [](auto change) {
        mft_entries_ctx ctx;
        ctx.filter_inodes = {5};
        change(ctx);
        return choose_walk(ctx);
    };
    EXPECT_EQ(with([](mft_entries_ctx& c) { c.filter_exts = {"exe"}; }), walk_plan::range);
    EXPECT_EQ(with([](mft_entries_ctx& c) { c.filter_names = {"x"}; }), walk_plan::range);
    EXPECT_EQ(with([](mft_entries_ctx& c) { c.filter_dir_inodes = {5}; }), walk_plan::range);
    EXPECT_EQ(with([](mft_entries_ctx& c) { c.filter_sig_types = {30}; }), walk_plan::range);
    EXPECT_EQ(with([](mft_entries_ctx& c) { c.deleted_only = true; }), walk_plan::range);
    EXPECT_EQ(with([](mft_entries_ctx& c) { c.deleted_all = true; }), walk_plan::deleted_all);
}

TEST(WalkChoice, FirstMatchingClusterModeWins) {
    mft_entries_ctx ctx;
    ctx.unalloc_scan = true;
    EXPECT_EQ(choose_walk(ctx), walk_plan::unallocated_only);
    ctx.deleted_all = true;
    EXPECT_EQ(choose_walk(ctx), walk_plan::deleted_all);
    ctx.all_clusters = true;
    EXPECT_EQ(choose_walk(ctx), walk_plan::all_clusters);
}

// Opening the source turns -filter_file paths into entry numbers and -filter_dir
// paths into directory entries; the choice looks at those.
TEST(WalkChoice, ResolvedPathsDecide) {
    mft_entries_ctx files;
    files.filter_files = {"a\\b.txt"};
    build_filters(files);
    EXPECT_EQ(choose_walk(files), walk_plan::range);  // nothing resolved yet
    files.filters.entries[70].whole_entry = true;
    files.filter_inodes.insert(70);
    EXPECT_EQ(choose_walk(files), walk_plan::entry_list);
    files.filters.directories[64].whole_entry = true;  // a resolved -filter_dir besides
    EXPECT_EQ(choose_walk(files), walk_plan::range);
}

}  // namespace
}  // namespace skelvar
