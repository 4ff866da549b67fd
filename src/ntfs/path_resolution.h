// Full paths from parent references, and the name a record is shown by.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

struct mft_entries_ctx;

struct parent_path {
    std::u16string path;  // starts with "[root]" and ends with '\'
    std::uint16_t first_parent_flags = 0;
    std::uint16_t first_parent_sequence = 0;
    bool ok = false;
};

// Directory part of a path for a name whose parent is `parent_ref`.
parent_path resolve_parent_path(std::uint64_t parent_ref, mft_entries_ctx& ctx);

// The name a record is shown by (POSIX/Win32 preferred, held by `entry_number`).
std::u16string choose_name(const std::map<attr_key, file_name_info>& names, std::uint64_t entry_number);

}  // namespace skelvar
