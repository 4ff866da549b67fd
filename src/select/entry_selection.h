// Which entries a walk reports: the cheap test before parsing and the full
// test after it.
#pragma once

#include <cstdint>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

struct mft_entries_ctx;

enum class preselection { keep, preselected, drop };

// True when any selection filter at all is in force.
bool any_filter(const mft_entries_ctx& ctx);

// Deleted-only and entry-number lists, decided from the header alone.
preselection preselect(const mft_entries_ctx& ctx, std::uint64_t entry_number, bool in_use, mft_entry_info& entry);

// The full test on a parsed entry; false drops it.
bool select_entry(mft_entries_ctx& ctx, mft_entry_info& entry, bool preselected);

}  // namespace skelvar
