// Which walks a run makes, decided from the filter options once the source
// is open (opening turns -filter_file paths into entry numbers).
#pragma once

namespace skelvar {

struct mft_entries_ctx;

enum class walk_plan {
    entry_list,             // only entry numbers were asked for
    all_clusters,           // $MFT, then unallocated clusters
    deleted_all,            // deleted entries of the $MFT, then unallocated clusters
    unallocated_only,       // the unallocated-cluster scan alone
    range,                  // -mftstart .. -mftstart + -mftrange
};

// Reads the completed filter collections.
walk_plan choose_walk(const mft_entries_ctx& ctx);

}  // namespace skelvar
