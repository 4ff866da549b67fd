// Validation and update-sequence fixups of one FILE (or INDX) record.
#pragma once

#include <cstdint>
#include <span>

namespace skelvar {

enum class record_status { unreadable, ok, bad };

// A "BAAD" record read from the $MFT is used as found; one carved from free
// clusters is fixed up like the FILE record it was.
enum class baad_records { as_found, fixed_up };

// Validates a record in place and applies its fixups with the given stride.
// "FILE" (usa offset 0x30, count <= 9, first attribute <= 0x48) and "INDX"
// are accepted; "BAAD" returns `bad`, untouched unless `baad` says fixed_up
// (then only with the header of a valid FILE record); anything else `unreadable`.
// The sector tails are not compared before they are replaced: a torn record is
// used as it stands, and `torn_sectors` (when given) counts the tails that did
// not hold the update sequence number.
record_status validate_and_fixup(std::span<std::uint8_t> record, std::uint32_t stride,
                                 std::uint32_t* torn_sectors = nullptr, baad_records baad = baad_records::as_found);

}  // namespace skelvar
