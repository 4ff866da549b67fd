// Decoding one attribute record into the parsed entry, and the time checks.
#pragma once

#include <cstdint>
#include <span>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

struct mft_entries_ctx;

struct decode_result {
    bool ok = false;                 // false: the caller stops its attribute loop
    bool is_attribute_list = false;
};

// `record` is the whole fixed-up record; `offset` the attribute's start in it.
decode_result decode_attribute(mft_entry_info& entry, const mft_entries_ctx& ctx, std::uint64_t entry_number,
                               std::span<const std::uint8_t> record, std::size_t offset, bool keep_content);

// Writes the first failing time note into the entry; true when none fails.
bool check_times(mft_entry_info& entry);

}  // namespace skelvar
