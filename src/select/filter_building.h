// Filling the filter collections: from the option values, then, once the
// source is open, turning directory and file paths into entry numbers.
#pragma once

#include <cstdint>
#include <string>

namespace skelvar {

struct mft_entries_ctx;
struct filter_item;

// Builds the collections from the option values stored in the context. Runs
// once; later calls do nothing.
void build_filters(mft_entries_ctx& ctx);

// Resolves -filter_dir, -filter_dir_recurse and -filter_file paths through the
// open source, and names the directories of -filter_dir_inode. A path that
// cannot be resolved adds no filter (and is reported on standard error).
void complete_filters(mft_entries_ctx& ctx);

// The "type(" ... ")" style description of one item, for the diagnostics log.
std::string describe_filter(const filter_item& item);

}  // namespace skelvar
