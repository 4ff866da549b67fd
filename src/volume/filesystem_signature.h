// Recognises the file system at the start of a partition from its boot sector
// (and, given 2048 bytes, the ext superblock or the HFS+ volume header).
#pragma once

#include <cstdint>
#include <span>

#include "volume/partition_info.h"

namespace skelvar {

// Fills type, name and geometry of `record` when `bytes` (at least 512) start a
// known file system; leaves it unrecognised otherwise. NTFS, exFAT and
// BitLocker all become type 7.
void recognise_file_system(partition_info& record, std::span<const std::uint8_t> bytes);

}  // namespace skelvar
