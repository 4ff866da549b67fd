// Validation and update-sequence fixups of one FILE (or INDX) record.
#pragma once

#include <cstdint>
#include <span>

namespace skelvar {

enum class record_status { unreadable, ok, bad };

// Validates a record in place and applies its fixups with the given stride.
// "FILE" (usa offset 0x30, count <= 9, first attribute <= 0x48) and "INDX"
// are accepted; "BAAD" returns `bad` untouched; anything else `unreadable`.
// The sector tails are not compared before they are replaced: a torn record is
// used as it stands, and `torn_sectors` (when given) counts the tails that did
// not hold the update sequence number.
record_status validate_and_fixup(std::span<std::uint8_t> record, std::uint32_t stride,
                                 std::uint32_t* torn_sectors = nullptr);

}  // namespace skelvar
