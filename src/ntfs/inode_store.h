// -regen_mft: rebuilds the $MFT from every FILE record found anywhere on the
// volume, for volumes whose $MFT runs are damaged or stale.
#pragma once

#include <cstdint>

namespace skelvar {

class ntfs_volume;

struct inode_store_options {
    bool show_progress = false;
    // Upper bound on the rebuilt $MFT; records with higher entry numbers are left out.
    std::uint64_t max_mft_bytes = 4ull << 30;
    // Beyond this size the rebuilt $MFT only grows to entry numbers that fill at
    // least a quarter of the slots below them (stray records are left out).
    std::uint64_t free_mft_bytes = 1ull << 30;
};

// Scans the whole volume in blocks of 16 records. For each entry number the copy
// with the highest sequence number (then the latest $STANDARD_INFORMATION MFT
// change time, then the first found) lands at entry x record size of an
// in-memory $MFT, which the volume then serves when it holds more than 4096 bytes.
// False when the boot sector cannot be read or is not NTFS, or nothing was found.
bool build_inode_store(ntfs_volume& volume, const inode_store_options& options = {});

}  // namespace skelvar
