#include "report/other_info.h"

#include <string_view>

#include "ntfs/mft_entry_info.h"
#include "ntfs/time_flags.h"
#include "report/number_text.h"
#include "report/report_context.h"
#include "report/zone_info.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

void next_item(std::string& out, std::size_t start) {
    if (out.size() > start) out += "; ";
}

}  // namespace

void append_zone_info(std::span<const std::uint8_t> stream, std::string& out) {
    append_zone_info_text(parse_zone_identifier(stream), zone_layout::timeline, out);
}

name_spread count_name_spread(const mft_entry_info& entry) {
    name_spread s;
    s.names = entry.path_names.size();
    if (s.names < 2) return s;
    // Quadratic, but only records with hard links get here.
    for (auto it = entry.path_names.begin(); it != entry.path_names.end(); ++it) {
        bool seen = false;
        for (auto jt = entry.path_names.begin(); jt != it && !seen; ++jt)
            seen = jt->second.parent_ref == it->second.parent_ref;
        s.roots += !seen;
    }
    return s;
}

void append_name_spread(const name_spread& spread, std::string& out) {
    if (spread.names <= 1) return;
    out += "multinames [";
    append_dec(out, spread.names);
    out += ']';
    if (spread.roots > 1) {
        out += "; multiroots [";
        append_dec(out, spread.roots);
        out += ']';
    }
}

void append_time_flags(std::uint8_t flags, std::string& out) {
    if (!flags) return;
    out += "time flags [";
    bool first = true;
    for (std::size_t i = 0; i < time_flag_names.size(); ++i) {
        if (!(flags & (1u << i))) continue;
        if (!first) out += ' ';
        out += time_flag_names[i];
        first = false;
    }
    out += ']';
}

void append_other_info(const mft_entry_info& entry, const report_context& context, std::string& out,
                       bool with_time_flags) {
    const report_options& opt = context.options;
    const std::size_t start = out.size();

    // Names used for paths: more than one means hard links.
    append_name_spread(count_name_spread(entry), out);

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
        append_number(out, ref_entry(entry.base_ref), opt.hex_numbers, 8);
        out += ']';
    }

    if (entry.attribute_list_non_resident && context.extracted_file) {
        next_item(out, start);
        out += "attrib list non-resident [not avail for parsing w/o image]";
    }

    if (opt.filerecord_offset) {
        next_item(out, start);
        out += "filerecord: ";
        append_number(out, entry.source_offset, opt.hex_numbers, 1);
    }

    for (const std::string& m : entry.marks.matched) {
        next_item(out, start);
        out += m;
    }

    if (opt.zone_info) {
        for (const auto& z : entry.zone_texts) {
            next_item(out, start);
            append_zone_info(z, out);
        }
    }

    if (with_time_flags && entry.time_flags) {
        next_item(out, start);
        append_time_flags(entry.time_flags, out);
    }
}

}  // namespace skelvar
