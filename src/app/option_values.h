// Value syntaxes of single options: drive letters, shadow copies, signature
// names and object ids.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace skelvar {

// Largest header sample an option may ask for.
constexpr std::uint64_t max_header_bytes = 0x100000;

// "c", "c:" or "c:\" -> "c:"; anything else is no drive letter.
std::optional<std::string> drive_letter_path(std::string_view value);

// "\\?\GLOBALROOT\Device\HarddiskVolumeShadowCopy" + number.
std::string shadow_copy_path(std::uint64_t number);

struct signature_info;

// The -filter_sig names (case ignored); null for a name outside the table.
const signature_info* find_signature(std::string_view name);

// GUID text "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" (braces allowed) to the 16
// bytes as stored on disk: the first three fields little-endian.
bool parse_object_id(std::string_view text, std::uint8_t (&out)[16]);

}  // namespace skelvar
