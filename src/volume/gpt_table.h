// GUID partition table reader.
#pragma once

#include "volume/disk_bytes.h"
#include "volume/partition_info.h"

namespace skelvar {

// Appends one record per used GPT entry, each recognised from its first bytes.
// False, with `records` as it was, when there is no readable GPT or it is empty.
bool read_gpt(disk_bytes& disk, partition_list& records);

// Entries beyond this many are ignored; no GPT anyone made has more.
inline constexpr std::uint32_t max_gpt_entries = 16384;
inline constexpr std::uint32_t max_gpt_entry_size = 65536;

}  // namespace skelvar
