#include "app/walk_choice.h"

#include "app/mft_entries_ctx.h"

namespace skelvar {

walk_plan choose_walk(const mft_entries_ctx& ctx) {
    bool other_filters = !ctx.filter_dirs.empty() || !ctx.filter_dir_trees.empty() || !ctx.filter_dir_inodes.empty() ||
                         !ctx.filter_names.empty() || !ctx.filter_fullnames.empty() || !ctx.filter_exts.empty() ||
                         !ctx.filter_wildcards.empty() || ctx.deleted_only || ctx.deleted_all ||
                         !ctx.filter_sig_types.empty();
    if (!other_filters && !ctx.filter_inodes.empty()) return walk_plan::entry_list;
    if (ctx.all_clusters) return walk_plan::all_clusters;
    if (ctx.deleted_all) return walk_plan::deleted_all;
    if (ctx.unalloc_scan) return walk_plan::unallocated_only;
    return walk_plan::range;
}

}  // namespace skelvar
