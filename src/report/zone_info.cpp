#include "report/zone_info.h"

namespace skelvar {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The stream as one-byte text with line breaks as '\n'; other control bytes become blanks.
std::string stream_text(std::span<const std::uint8_t> stream) {
    std::string text;
    std::size_t i = 0, step = 1;
    if (stream.size() >= 3 && stream[0] == 0xEF && stream[1] == 0xBB && stream[2] == 0xBF) i = 3;
    if (stream.size() >= 2 && stream[0] == 0xFF && stream[1] == 0xFE) i = 2, step = 2;
    text.reserve(stream.size());
    for (; i < stream.size(); i += step) {
        const std::uint8_t b = stream[i];
        // UTF-16 characters beyond one byte are not expected in these keys and values.
        if (step == 2 && i + 1 < stream.size() && stream[i + 1] != 0) {
            text += '?';
            continue;
        }
        if (b == 0) break;
        text += (b == '\r' || b == '\n') ? '\n' : (b < 0x20 ? ' ' : static_cast<char>(b));
    }
    return text;
}

}  // namespace

std::vector<zone_pair> parse_zone_identifier(std::span<const std::uint8_t> stream) {
    std::vector<zone_pair> pairs;
    const std::string text = stream_text(stream);
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t nl = rest.find('\n');
        const std::string_view line = trim(rest.substr(0, nl));
        rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
        if (line.empty() || line.front() == '[') continue;
        const std::size_t eq = line.find('=');
        zone_pair p;
        p.key = trim(line.substr(0, eq));
        if (eq != std::string_view::npos) p.value = trim(line.substr(eq + 1));
        pairs.push_back(std::move(p));
    }
    return pairs;
}

std::string_view zone_name(std::string_view zone_id) {
    static constexpr std::string_view names[] = {" [local machine]", " [intranet]", " [trusted]", " [internet]",
                                                  " [untrusted]"};
    zone_id = trim(zone_id);
    if (zone_id.size() == 1 && zone_id[0] >= '0' && zone_id[0] <= '4') return names[zone_id[0] - '0'];
    return {};
}

void append_zone_info_text(const std::vector<zone_pair>& pairs, zone_layout layout, std::string& out) {
    const bool quoted = layout == zone_layout::per_path;
    out += quoted ? "zone_info={" : "ZoneInfo {";
    bool first = true;
    for (const zone_pair& p : pairs) {
        if (!first) out += ';';
        first = false;
        if (quoted) out += '"';
        out += p.key;
        out += quoted ? "\":\"" : ":";
        out += p.value;
        if (quoted) out += '"';
        if (p.key == "ZoneId") out += zone_name(p.value);
    }
    out += '}';
}

std::string zone_info_text(const std::vector<zone_pair>& pairs, zone_layout layout) {
    std::string out;
    append_zone_info_text(pairs, layout, out);
    return out;
}

}  // namespace skelvar
