// Pulling the attributes an attribute list names out of extension records.
#pragma once

#include <cstdint>

#include "ntfs/attribute_iterator.h"
#include "ntfs/mft_entry_info.h"

namespace skelvar {

class entry_reader;

// Resolves the $ATTRIBUTE_LIST attribute `list` of entry `entry_number` into
// `entry`: the attributes it names in other records are decoded into it.
void resolve_attribute_list(const entry_reader& reader, mft_entry_info& entry, std::uint64_t entry_number,
                            const attribute_view& list, bool keep_content);

}  // namespace skelvar
