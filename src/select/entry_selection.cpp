#include "select/entry_selection.h"

#include "app/mft_entries_ctx.h"

namespace skelvar {

bool any_filter(const mft_entries_ctx& ctx) {
    return ctx.deleted_only || !ctx.filter_inodes.empty() || ctx.filter_start_time != 0;
}

preselection preselect(const mft_entries_ctx& ctx, std::uint64_t entry_number, bool in_use, mft_entry_info& entry) {
    if (!ctx.deleted_only && ctx.filter_inodes.empty()) return preselection::keep;
    if (ctx.deleted_only) {
        if (!in_use) {
            entry.marks.deleted = true;
            entry.marks.preselected = true;
            return preselection::preselected;
        }
    } else if (ctx.filter_inodes.count(entry_number)) {
        entry.marks.listed = true;
        entry.marks.preselected = true;
        return preselection::preselected;
    }
    // Other filters may still select it, unless every filter must hold.
    const bool others = ctx.filter_start_time != 0;
    if (!others || ctx.and_logic) return preselection::drop;
    return preselection::keep;
}

bool select_entry(mft_entries_ctx&, mft_entry_info&, bool) { return true; }

}  // namespace skelvar
