#include "volume/vmdk_descriptor.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace skelvar {

namespace {

std::string_view trim_value(std::string_view v) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '"'; };
    while (!v.empty() && blank(v.front())) v.remove_prefix(1);
    while (!v.empty() && blank(v.back())) v.remove_suffix(1);
    return v;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

vmdk_descriptor parse_vmdk_descriptor(std::span<const std::uint8_t> bytes) {
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()),
                                static_cast<std::size_t>(end - bytes.begin()));
    vmdk_descriptor d;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) nl = text.size();
        std::string_view line = text.substr(pos, nl - pos);
        pos = nl + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        d.lines.emplace_back(line);

        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string key = lower(trim_value(line.substr(0, eq)));
        const std::string_view value = trim_value(line.substr(eq + 1));
        if (key == "cid") d.cid = lower(value);
        else if (key == "parentcid") d.parent_cid = lower(value);
        else if (key == "encoding") d.encoding = std::string(value);
        else if (key == "parentfilenamehint") d.parent_hint = std::string(value);
        else if (key == "createtype") d.create_type = std::string(value);
    }
    return d;
}

}  // namespace skelvar
