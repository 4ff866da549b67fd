// The "other info" cell: hard links, reparse targets, extension records, matched filters, zone.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace skelvar {

struct mft_entry_info;
struct report_context;

// Appends the items joined by "; "; the time flags last, when wanted.
void append_other_info(const mft_entry_info& entry, const report_context& context, std::string& out,
                       bool with_time_flags = true);

// "time flags [name name]" for the time_flag bits set; nothing when none is.
void append_time_flags(std::uint8_t flags, std::string& out);

// Hard links: the names used for paths, and the distinct directories they lie in
// (counted only when there is more than one name).
struct name_spread {
    std::size_t names = 0;
    std::size_t roots = 0;
};
name_spread count_name_spread(const mft_entry_info& entry);

// "multinames [n]" and, for names in several directories, "; multiroots [m]"; nothing for a single name.
void append_name_spread(const name_spread& spread, std::string& out);

// "; " before a further item of a list that already holds one.
inline void next_item(std::string& out) {
    if (!out.empty()) out += "; ";
}

// "ZoneInfo {key:value;...}" from the bytes of a Zone.Identifier stream.
void append_zone_info(std::span<const std::uint8_t> stream, std::string& out);

}  // namespace skelvar
