#include "select/entry_selection.h"

#include <algorithm>
#include <cstdio>

#include "app/mft_entries_ctx.h"
#include "ntfs/name_case.h"
#include "ntfs/ntfs_volume.h"
#include "ntfs/source_opening.h"
#include "select/signature_tests.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

using ull = unsigned long long;

bool within(std::uint64_t t, std::uint64_t start, std::uint64_t stop) { return t >= start && t <= stop; }

// Size of a stream as the size filters see it.
std::uint64_t filter_size(const catalogue_row& row) {
    return row.non_resident ? std::max(row.allocated_size, row.data_size) : row.value_length;
}

void add_match(mft_entry_info& e, const char* label, std::u16string_view text) {
    std::string m = label;
    uni::append_utf8(text, m);
    m += ')';
    e.marks.matched.push_back(std::move(m));
}

std::string number_text(std::uint64_t n, bool hex) {
    char buf[32];
    std::snprintf(buf, sizeof buf, hex ? "0x%llx" : "%llu", static_cast<ull>(n));
    return buf;
}

// A named-streams item: one of the entry's stream names (lower case) is in its set.
bool stream_match(const filter_item& item, mft_entry_info& e, std::uint64_t n, const char* label,
                  mft_entries_ctx& ctx) {
    for (const auto& [key, row] : e.catalogue) {
        if (!row.is_data || row.name.empty()) continue;
        std::u16string& lower = ctx.filters.lower_name;
        downcase_into(row.name, lower);
        if (!item.names.count(lower)) continue;
        std::u16string text = uni::to_utf16(number_text(n, ctx.hex_numbers));
        text += u'\\';
        text += lower;
        add_match(e, label, text);
        return true;
    }
    return false;
}

bool size_step(const mft_entries_ctx& ctx, mft_entry_info& e) {
    const std::uint64_t lo = ctx.filter_min_size, hi = ctx.filter_max_size;
    bool any_unnamed = false;
    for (const auto& [key, row] : e.catalogue) {
        if (!row.is_data || row.is_ads) continue;
        any_unnamed = true;
        const std::uint64_t size = filter_size(row);
        if ((lo && size < lo) || (hi && size > hi)) return false;
        e.marks.size_min = e.marks.size_max = true;
        return true;
    }
    if (any_unnamed || lo) return false;
    e.marks.size_min = e.marks.size_max = true;
    return true;
}

bool no_file_data(mft_entries_ctx& ctx) {
    ntfs_volume* v = context_volume(ctx);
    return !v || !v->has_reader();
}

}  // namespace

bool any_filter(const mft_entries_ctx& ctx) {
    const filter_collections& f = ctx.filters;
    return !f.extensions.empty() || !f.names.empty() || !f.dir_paths.empty() || !f.directories.empty() ||
           !f.entries.empty() || !f.wildcards.empty() || ctx.filter_max_size || ctx.filter_min_size ||
           ctx.filter_min_ads_size || !f.dir_tree_paths.empty() || !f.file_paths.empty();
}

preselection preselect(const mft_entries_ctx& ctx, std::uint64_t entry_number, bool in_use, mft_entry_info& entry) {
    const filter_collections& f = ctx.filters;
    if (!ctx.deleted_only) {
        if (f.entries.empty()) return preselection::keep;
        auto it = f.entries.find(entry_number);
        if (it != f.entries.end() && it->second.whole_entry) {
            entry.marks.listed = true;
            entry.marks.preselected = true;
            return preselection::preselected;
        }
    } else if (!in_use) {
        entry.marks.deleted = true;
        entry.marks.preselected = true;
        return preselection::preselected;
    }
    if (f.signatures.empty() && !any_filter(ctx)) return preselection::drop;
    return ctx.and_logic ? preselection::drop : preselection::keep;
}

bool time_test(const mft_entries_ctx& ctx, mft_entry_info& e) {
    const std::uint64_t start = ctx.filter_start_time, stop = ctx.filter_stop_time;
    if (start == 0 && stop == 0) return true;
    auto hit = [&](std::uint64_t created, std::uint64_t modified, std::uint64_t changed, std::uint64_t accessed) {
        return within(accessed, start, stop) || within(changed, start, stop) || within(modified, start, stop) ||
               within(created, start, stop);
    };
    bool in = false;
    for (const auto& [key, si] : e.standard_infos)
        if (!in && hit(si.created, si.modified, si.mft_changed, si.accessed)) in = true;
    for (const auto& [key, fn] : e.file_names)
        if (!in && hit(fn.created, fn.modified, fn.mft_changed, fn.accessed)) in = true;
    if (in) e.marks.in_time_range = true;
    return in;
}

bool or_test(mft_entries_ctx& ctx, mft_entry_info& e) {
    if (!any_filter(ctx)) return true;
    filter_collections& f = ctx.filters;

    if (const std::uint64_t min_ads = ctx.filter_min_ads_size) {
        for (const auto& [key, row] : e.catalogue) {
            if (row.is_data && row.is_ads && filter_size(row) >= min_ads) {
                e.marks.ads_size = true;
                return true;
            }
        }
    }
    if ((ctx.filter_max_size || ctx.filter_min_size) && size_step(ctx, e)) return true;

    std::u16string& lower = f.lower_name;
    if (!f.wildcards.empty() || !f.names.empty()) {
        // Each name lower-cased once for all the wildcard and name filters.
        std::vector<std::u16string>& names = f.lower_names;
        std::size_t count = 0;
        for (const auto& [key, fn] : e.file_names) {
            if (names.size() <= count) names.emplace_back();
            downcase_into(fn.name, names[count++]);
        }
        std::size_t i = 0;
        for (const auto& [key, fn] : e.file_names) {
            for (const wildcard_pattern& w : f.wildcards) {
                if (w.found_in(names[i])) {
                    e.marks.wildcard = true;
                    add_match(e, "pattern(", fn.name);
                    return true;
                }
            }
            ++i;
        }
        for (const auto& [text, item] : f.names) {
            const bool partial = item.partial_front || item.partial_back;
            for (std::size_t n = 0; n < count; ++n) {
                if (partial ? names[n].find(item.text) != std::u16string::npos : names[n] == item.text) {
                    e.marks.name = true;
                    add_match(e, "name(", item.text);
                    return true;
                }
            }
        }
    }
    if (!f.directories.empty()) {
        for (const auto& [key, fn] : e.file_names) {
            const std::uint64_t parent = ref_entry(fn.parent_ref);
            auto it = f.directories.find(parent);
            if (it == f.directories.end()) continue;
            const filter_item& item = it->second;
            if (item.whole_entry) {
                e.marks.directory = true;
                if (!item.resolved_path.empty()) add_match(e, "dir(", item.resolved_path);
                else add_match(e, "dir(", uni::to_utf16("dir_inode(" + number_text(parent, ctx.hex_numbers) + ")"));
                return true;
            }
            if (item.named_streams && stream_match(item, e, parent, "dir(", ctx)) {
                e.marks.directory = true;
                return true;
            }
        }
    }
    if (!f.entries.empty()) {
        auto it = f.entries.find(e.entry_number);
        if (it != f.entries.end()) {
            const filter_item& item = it->second;
            if (item.whole_entry) {
                e.marks.listed = true;
                add_match(e, "inode(", uni::to_utf16(number_text(e.entry_number, ctx.hex_numbers)));
                return true;
            }
            if (item.named_streams && stream_match(item, e, e.entry_number, "inode(", ctx)) {
                e.marks.listed = true;
                return true;
            }
        }
    }
    if (!f.extensions.empty()) {
        for (const auto& [key, fn] : e.file_names) {
            const std::size_t dot = fn.name.rfind(u'.');
            if (dot == std::u16string::npos) continue;
            // Only the first name with a dot is tested.
            downcase_into(std::u16string_view(fn.name).substr(dot + 1), lower);
            for (const std::u16string& ext : f.extensions) {
                if (lower == ext) {
                    e.marks.extension = true;
                    add_match(e, "ext(", ext);
                    return true;
                }
            }
            break;
        }
    }
    return false;
}

bool signature_test(mft_entries_ctx& ctx, mft_entry_info& e) {
    const std::vector<signature_check>& list = ctx.filters.signatures;
    if (list.empty()) return true;
    bool header_listed = false;
    for (const signature_check& s : list) {
        if (s.type >= 1 && s.type <= 5) {
            const bool ok = s.test && s.test(e, ctx);
            if (ok && !ctx.and_logic) return true;
            if (!ok && ctx.and_logic) return false;
        } else {
            header_listed = true;
        }
    }
    // Only tests with their own function: under AND logic every one passed.
    if (!header_listed) return ctx.and_logic;
    if (no_file_data(ctx)) return true;
    const catalogue_row* stream = signature_stream(e);
    if (!stream) return false;
    std::uint32_t length = ctx.header_length;
    if (length == 0)
        for (const signature_check& s : list)
            if (const signature_info* info = find_signature_info(s.type)) length = std::max(length, info->header_bytes);
    std::vector<std::uint8_t>& header = ctx.filters.header;
    if (!read_stream_header(ctx, *stream, ctx.header_offset, length, header)) return false;
    for (const signature_check& s : list) {
        const signature_info* info = find_signature_info(s.type);
        if (!info || !info->test(header)) continue;
        e.marks.signature = true;
        e.marks.signature_label = std::string(info->label);
        // The signature leads the matched-filter texts.
        e.marks.matched.insert(e.marks.matched.begin(), "type(" + std::string(info->label) + ")");
        return true;
    }
    return false;
}

bool select_entry(mft_entries_ctx& ctx, mft_entry_info& entry, bool preselected) {
    selection_results r;
    r.time_ok = time_test(ctx, entry);
    if (!r.time_ok) return false;
    r.or_ok = or_test(ctx, entry);
    r.any_filter = any_filter(ctx);
    r.and_logic = ctx.and_logic;
    r.preselected = preselected;
    r.signatures_listed = !ctx.filters.signatures.empty();
    return combine_selection(r, [&] { return signature_test(ctx, entry); });
}

}  // namespace skelvar
