#include "app/walk_choice.h"

#include <gtest/gtest.h>

#include "app/mft_entries_ctx.h"
#include "select/filter_building.h"

namespace skelvar {
namespace {

walk_plan plan(const std::function<void(mft_entries_ctx&)>& set) {
    mft_entries_ctx ctx;
    set(ctx);
    ctx.filters = build_filters(ctx.selection, true);
    return choose_walk(ctx);
}

// Entry numbers alone (-filter_inode, or -filter_file paths once resolved) are read directly;
// the cluster options do not prevent it, any other filter does.
TEST(WalkChoice, EntryNumbersAloneAreReadDirectly) {
    EXPECT_EQ(plan([](mft_entries_ctx&) {}), walk_plan::range);
    EXPECT_EQ(plan([](mft_entries_ctx& c) { c.selection.inodes = {5}, c.all_clusters = true; }), walk_plan::entry_list);
    EXPECT_EQ(plan([](mft_entries_ctx& c) { c.selection.inodes = {5}, c.selection.exts = {"exe"}; }), walk_plan::range);
    EXPECT_EQ(plan([](mft_entries_ctx& c) { c.selection.inodes = {5}, c.deleted_all = true; }), walk_plan::deleted_all);
    EXPECT_EQ(plan([](mft_entries_ctx& c) { c.selection.files = {"a\\b.txt"}; }), walk_plan::range);  // unresolved

    mft_entries_ctx files;
    files.selection.files = {"a\\b.txt"};
    files.filters = build_filters(files.selection, true);
    files.filters.entries[70].whole_entry = true;  // what resolving the path adds
    EXPECT_EQ(choose_walk(files), walk_plan::entry_list);
    files.filters.directories[64].whole_entry = true;  // a resolved -filter_dir besides
    EXPECT_EQ(choose_walk(files), walk_plan::range);
}

}  // namespace
}  // namespace skelvar
