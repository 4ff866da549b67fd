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

// Builds the filter collections first when that has not happened yet.
walk_plan choose_walk(mft_entries_ctx& ctx);

}  // namespace skelvar
