// MBR partition type codes: which ones a table scan accepts, and their display names.
#pragma once

#include <cstdint>
#include <string>

namespace skelvar {

// One of the 91 type codes that partition-table scans accept.
bool is_known_mbr_type(std::uint8_t type);

// 0x05 and 0x0F: entries that point at the next extended boot record.
inline bool is_extended_type(std::uint8_t type) { return type == 0x05 || type == 0x0F; }

// Display name of the low 8 bits; " [guess]" appended for guessed entries.
std::string partition_type_name(std::uint16_t type);

// Only names containing "ntfs" make a partition a volume candidate.
inline bool names_ntfs(const std::string& type_name) { return type_name.find("ntfs") != std::string::npos; }

}  // namespace skelvar
