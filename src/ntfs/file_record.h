// Reading one FILE record by entry number: validation and update-sequence fixups.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace skelvar {

struct mft_entries_ctx;

enum class record_status { unreadable, ok, bad };

// Validates a record in place and applies its fixups with the given stride.
// "FILE" (usa offset 0x30, count <= 9, first attribute <= 0x48) and "INDX"
// are accepted; "BAAD" returns `bad` untouched; anything else `unreadable`.
record_status validate_and_fixup(std::span<std::uint8_t> record, std::uint32_t stride);

// Reads entry `entry` into `out` (resized to the record size). The record size
// is learned from record 0 on the first read of an extracted $MFT file.
record_status read_file_record(mft_entries_ctx& ctx, std::uint64_t entry, std::vector<std::uint8_t>& out);

}  // namespace skelvar
