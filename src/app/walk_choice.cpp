#include "app/walk_choice.h"

#include "app/mft_entries_ctx.h"
#include "select/filter_building.h"

namespace skelvar {

walk_plan choose_walk(mft_entries_ctx& ctx) {
    build_filters(ctx);
    const filter_collections& f = ctx.filters;
    // Only entry numbers asked for (-filter_inode, resolved -filter_file): read just those.
    const bool other_filters = !f.directories.empty() || !f.names.empty() || !f.extensions.empty() ||
                               !f.wildcards.empty() || ctx.deleted_only || ctx.deleted_all || !f.signatures.empty();
    // The walk reads ctx.filter_inodes, which completion keeps equal to the keys of f.entries.
    if (!other_filters && !ctx.filter_inodes.empty()) return walk_plan::entry_list;
    if (ctx.all_clusters) return walk_plan::all_clusters;
    if (ctx.deleted_all) return walk_plan::deleted_all;
    if (ctx.unalloc_scan) return walk_plan::unallocated_only;
    return walk_plan::range;
}

}  // namespace skelvar
