// Pulling the attributes an attribute list names out of extension records.
#pragma once

#include <cstdint>
#include <span>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

struct mft_entries_ctx;

// Resolves the $ATTRIBUTE_LIST attribute at `offset` of `record` (entry `entry_number`)
// into `entry`: the attributes it names in other records are decoded into it.
void resolve_attribute_list(mft_entries_ctx& ctx, mft_entry_info& entry, std::uint64_t entry_number,
                            std::span<const std::uint8_t> record, std::size_t offset, bool keep_content);

}  // namespace skelvar
