// Self-relative security descriptors: SIDs as text with names for the
// well-known ones, ACE and access-mask texts, and the text block of a whole
// descriptor. Everything is read through bounded views: a descriptor taken
// from a hostile record or $SDS entry renders what fits and nothing more.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace skelvar {

// One access control entry as rendered.
struct ace_text {
    std::string type;            // "access allowed", "access denied", ...
    std::string mask;            // "DELETE | READ_CONTROL | ..."
    std::string sid;             // "S-1-5-18"
    std::string_view name;       // "Local System" (static text)
    std::uint32_t mask_bits = 0; // every mask merged into this line
};

struct security_descriptor_info {
    std::uint8_t revision = 0;
    std::uint16_t control = 0;
    bool has_owner = false, has_group = false;  // offsets non-zero
    bool has_sacl = false, has_dacl = false;
    std::string owner_sid, group_sid;
    std::string_view owner_name, group_name;
    std::vector<ace_text> sacl, dacl;
};

// "S-1-5-32-544"; empty when shorter than 12 bytes or than its sub-authority count asks.
std::string sid_to_text(std::span<const std::uint8_t> sid);

// Name of a well-known SID ("Local System", "Admins", "World"); "unk" otherwise.
std::string_view sid_name(std::span<const std::uint8_t> sid);

std::string_view ace_type_text(std::uint8_t type);

// Names of the generic and standard rights set in `mask`, joined by " | ".
std::string access_mask_text(std::uint32_t mask);

// False when the bytes cannot hold a descriptor header or the revision is not 1.
// Parts that point outside the bytes are left empty.
bool parse_descriptor(std::span<const std::uint8_t> bytes, security_descriptor_info& out);

// Only the owner SID text (the per-entry action needs nothing more); empty when absent.
std::string owner_sid_of(std::span<const std::uint8_t> bytes);

// The text block of a descriptor (lines indented by two blanks, each ending in
// a line feed); empty when it does not parse.
std::string render_descriptor(std::span<const std::uint8_t> bytes);
std::string render_descriptor(const security_descriptor_info& info);

}  // namespace skelvar
