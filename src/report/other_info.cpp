#include "report/other_info.h"

#include <string_view>

#include "app/mft_entries_ctx.h"
#include "ntfs/mft_entry_info.h"
#include "report/number_text.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

void next_item(std::string& out, std::size_t start) {
    if (out.size() > start) out += "; ";
}

std::string_view zone_label(std::string_view value) {
    static constexpr std::string_view labels[] = {" [local machine]", " [intranet]", " [trusted]",
                                                  " [internet]", " [untrusted]"};
    while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
    if (value.size() == 1 && value[0] >= '0' && value[0] <= '4') return labels[value[0] - '0'];
    return {};
}

void append_zone_line(std::string_view line, std::string& out, bool& first) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() == '[') return;  // section header such as [ZoneTransfer]
    std::size_t eq = line.find('=');
    std::string_view key = line.substr(0, eq);
    std::string_view value = eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
    if (!first) out += ';';
    first = false;
    out += key;
    out += ':';
    out += value;
    if (key == "ZoneId") out += zone_label(value);
}

}  // namespace

void append_zone_info(std::span<const std::uint8_t> stream, std::string& out) {
    // The stream is ANSI text, or UTF-16 with a byte-order mark; control bytes are not carried over.
    std::string text;
    std::size_t i = 0, step = 1;
    if (stream.size() >= 3 && stream[0] == 0xEF && stream[1] == 0xBB && stream[2] == 0xBF) i = 3;
    if (stream.size() >= 2 && stream[0] == 0xFF && stream[1] == 0xFE) i = 2, step = 2;
    for (; i < stream.size(); i += step) {
        std::uint8_t b = stream[i];
        if (b == 0) break;
        text += (b == '\r' || b == '\n') ? '\n' : (b < 0x20 ? ' ' : static_cast<char>(b));
    }
    out += "ZoneInfo {";
    bool first = true;
    std::string_view rest(text);
    while (!rest.empty()) {
        std::size_t nl = rest.find('\n');
        append_zone_line(rest.substr(0, nl), out, first);
        if (nl == std::string_view::npos) break;
        rest.remove_prefix(nl + 1);
    }
    out += '}';
}

void append_other_info(const mft_entry_info& entry, const mft_entries_ctx& ctx, std::string& out) {
    const std::size_t start = out.size();

    // Names used for paths: more than one means hard links.
    if (entry.path_names.size() > 1) {
        out += "multinames [";
        append_dec(out, entry.path_names.size());
        out += ']';
        // Distinct parents; quadratic, but only records with hard links get here.
        std::size_t distinct = 0;
        for (auto it = entry.path_names.begin(); it != entry.path_names.end(); ++it) {
            bool seen = false;
            for (auto jt = entry.path_names.begin(); jt != it && !seen; ++jt)
                seen = jt->second.parent_ref == it->second.parent_ref;
            distinct += !seen;
        }
        if (distinct > 1) {
            next_item(out, start);
            out += "multiroots [";
            append_dec(out, distinct);
            out += ']';
        }
    }

    bool any_target = false;
    for (const auto& [key, rp] : entry.reparse_points) {
        (void)key;
        if (rp.target.empty()) continue;
        if (!any_target) {
            next_item(out, start);
            out += "symlink: [";
            any_target = true;
        } else {
            out += "; ";
        }
        uni::append_utf8(rp.target, out);
    }
    if (any_target) out += ']';

    if (entry.is_extension) {
        next_item(out, start);
        out += "refinode [";
        append_number(out, ref_entry(entry.base_ref), ctx.hex_numbers, 8);
        out += ']';
    }

    if (entry.attribute_list_non_resident && ctx.source && ctx.source->is_extracted_file()) {
        next_item(out, start);
        out += "attrib list non-resident [not avail for parsing w/o image]";
    }

    if (ctx.filerecord_offset) {
        next_item(out, start);
        out += "filerecord: ";
        append_number(out, entry.source_offset, ctx.hex_numbers, 1);
    }

    for (const std::string& m : entry.marks.matched) {
        next_item(out, start);
        out += m;
    }

    if (ctx.zone_info) {
        for (const auto& z : entry.zone_texts) {
            next_item(out, start);
            append_zone_info(z, out);
        }
    }
}

}  // namespace skelvar
