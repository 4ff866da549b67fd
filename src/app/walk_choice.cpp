#include "app/walk_choice.h"

#include "app/mft_entries_ctx.h"

namespace skelvar {

walk_plan choose_walk(const mft_entries_ctx& ctx) {
    const filter_collections& f = ctx.filters;
    // Only entry numbers asked for (-filter_inode, resolved -filter_file): read just those.
    const bool other_filters = !f.directories.empty() || !f.names.empty() || !f.extensions.empty() ||
                               !f.wildcards.empty() || ctx.selection.deleted_only || ctx.deleted_all ||
                               !f.signatures.empty();
    if (!other_filters && !f.entries.empty()) return walk_plan::entry_list;
    if (ctx.all_clusters) return walk_plan::all_clusters;
    if (ctx.deleted_all) return walk_plan::deleted_all;
    if (ctx.unalloc_scan) return walk_plan::unallocated_only;
    return walk_plan::range;
}

}  // namespace skelvar
