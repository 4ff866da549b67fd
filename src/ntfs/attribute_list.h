// Pulling the attributes an attribute list names out of extension records.
#pragma once

#include <cstdint>
#include <span>

#include "ntfs/attribute_iterator.h"
#include "ntfs/mft_entry_info.h"

namespace skelvar {

class entry_reader;

// Resolves the $ATTRIBUTE_LIST attributes `lists` of entry `entry_number` into
// `entry`: the attributes they name in records of this entry are decoded into
// it, each (record, type, id) once. A list whose clusters cannot be read (an
// extracted $MFT) gives way to the records whose base reference names the entry.
void resolve_attribute_lists(const entry_reader& reader, mft_entry_info& entry, std::uint64_t entry_number,
                             std::span<const attribute_view> lists, bool keep_content);

}  // namespace skelvar
