// The walks over the $MFT and the per-entry pipeline.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

struct mft_entries_ctx;

// Receives every selected entry; the run driver picks the writer behind it.
using entry_sink = std::function<void(mft_entry_info&)>;

// Header, attributes and attribute lists of one record, without selection.
bool parse_entry(mft_entries_ctx& ctx, std::span<const std::uint8_t> record, std::uint64_t entry_number,
                 mft_entry_info& entry, bool keep_content);

// Reads and parses one entry (paths use it for parent directories).
bool read_and_parse_entry(mft_entries_ctx& ctx, std::uint64_t entry_number, mft_entry_info& entry,
                          bool keep_content = false);

// The whole per-entry pipeline; true when the entry is to be written.
bool process_entry(mft_entries_ctx& ctx, std::span<const std::uint8_t> record, std::uint64_t entry_number,
                   mft_entry_info& entry);

// Range walk (-mftstart/-mftrange) and the walk over listed entry numbers.
bool walk_mft_range(mft_entries_ctx& ctx, const entry_sink& sink);
bool walk_entry_list(mft_entries_ctx& ctx, const entry_sink& sink);

}  // namespace skelvar
