// Validation and update-sequence fixups of one FILE (or INDX) record.
#pragma once

#include <cstdint>
#include <span>

#include "ntfs/record_header.h"

namespace skelvar {

enum class record_status { unreadable, ok, bad, index_block };

// The update sequence protects every 512 bytes of a record, whatever the sector size.
constexpr std::uint32_t fixup_stride = 512;

// A "BAAD" record read from the $MFT is used as found; one carved from free
// clusters is fixed up like the FILE record it was.
enum class baad_records { as_found, fixed_up };

// Validates a record in place and applies its fixups. A valid FILE header
// (either layout) gives `ok`, an "INDX" block `index_block` (both fixed up);
// "BAAD" returns `bad`, untouched unless `baad` says fixed_up (then only with
// the header of a valid FILE record); anything else `unreadable`.
// The sector tails are not compared before they are replaced: a torn record is
// used as it stands, and `torn_sectors` (when given) counts the tails that did
// not hold the update sequence number. `header` (when given) receives the record header as
// read: the fixups never touch its bytes, so the caller need not read it again.
record_status validate_and_fixup(std::span<std::uint8_t> record, std::uint32_t* torn_sectors = nullptr,
                                 baad_records baad = baad_records::as_found, file_record_header* header = nullptr);

}  // namespace skelvar
