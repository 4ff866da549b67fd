// The Zone.Identifier stream (the browser's mark of a downloaded file): its
// key=value lines, and the two texts the layouts write from them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace skelvar {

struct zone_pair {
    std::string key, value;
};

// Key=value lines in stream order; section lines ("[ZoneTransfer]") and empty
// lines are passed over. ANSI or UTF-8 text, or UTF-16LE after a byte-order mark.
std::vector<zone_pair> parse_zone_identifier(std::span<const std::uint8_t> stream);

// " [internet]" for a ZoneId of 3 (0 to 4 are named); empty otherwise.
std::string_view zone_name(std::string_view zone_id);

enum class zone_layout {
    timeline,  // ZoneInfo {ZoneId:3 [internet];ReferrerUrl:...}  (also body file and log2timeline)
    per_path,  // zone_info={"ZoneId":"3" [internet];"ReferrerUrl":"..."}
};

void append_zone_info_text(const std::vector<zone_pair>& pairs, zone_layout layout, std::string& out);
std::string zone_info_text(const std::vector<zone_pair>& pairs, zone_layout layout);

}  // namespace skelvar
