#include "select/entry_selector.h"

#include <algorithm>
#include <cstdio>

#include "ntfs/name_case.h"
#include "ntfs/ntfs_volume.h"
#include "ntfs/stream_head.h"
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

// What the combination of the tests looks at.
struct selection_results {
    bool time_ok = true;
    bool or_ok = true;
    bool any_filter = false;
    bool and_logic = false;
    bool preselected = false;
    bool signatures_listed = false;
};

// Time window, then the OR test, then the signature test (run only when it can
// still change the verdict).
template <class SignatureTest>
bool combine_selection(const selection_results& r, SignatureTest&& signature) {
    if (!r.time_ok) return false;
    bool or_matched = false;
    if (r.or_ok) {
        or_matched = r.any_filter;
    } else {
        if (r.and_logic) return false;
        if (!r.preselected && !r.signatures_listed) return false;
    }
    const bool signature_ok = signature();
    return signature_ok || ((r.preselected || or_matched) && !r.and_logic);
}

}  // namespace

// A named-streams item: one of the entry's stream names (lower case) is in its set.
bool entry_selector::stream_match(const filter_item& item, mft_entry_info& e, std::uint64_t n, const char* label) {
    for (const auto& [key, row] : e.catalogue) {
        if (!row.is_data || row.name.empty()) continue;
        std::u16string& lower = lower_name_;
        downcase_into(row.name, lower);
        if (!item.names.count(lower)) continue;
        std::u16string text = uni::to_utf16(number_text(n, hex_numbers_));
        text += u'\\';
        text += lower;
        add_match(e, label, text);
        return true;
    }
    return false;
}

bool entry_selector::size_step(mft_entry_info& e) const {
    const std::uint64_t lo = settings_.min_size, hi = settings_.max_size;
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

bool entry_selector::any_filter() const {
    const filter_collections& f = filters_;
    return !f.extensions.empty() || !f.names.empty() || !f.directories.empty() || !f.entries.empty() ||
           !f.wildcards.empty() || settings_.max_size || settings_.min_size || settings_.min_ads_size ||
           f.any_path();
}

preselection entry_selector::preselect(std::uint64_t entry_number, bool in_use, mft_entry_info& entry) const {
    const filter_collections& f = filters_;
    if (!settings_.deleted_only) {
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
    if (f.signatures.empty() && !any_filter()) return preselection::drop;
    return settings_.and_logic ? preselection::drop : preselection::keep;
}

bool entry_selector::time_test(mft_entry_info& e) const {
    const std::uint64_t start = settings_.window.start, stop = settings_.window.stop;
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

bool entry_selector::or_test(mft_entry_info& e) {
    if (!any_filter()) return true;
    const filter_collections& f = filters_;

    if (const std::uint64_t min_ads = settings_.min_ads_size) {
        for (const auto& [key, row] : e.catalogue) {
            if (row.is_data && row.is_ads && filter_size(row) >= min_ads) {
                e.marks.ads_size = true;
                return true;
            }
        }
    }
    if ((settings_.max_size || settings_.min_size) && size_step(e)) return true;

    std::u16string& lower = lower_name_;
    if (!f.wildcards.empty() || !f.names.empty()) {
        // Each name lower-cased once for all the wildcard and name filters.
        std::vector<std::u16string>& names = lower_names_;
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
                else add_match(e, "dir(", uni::to_utf16("dir_inode(" + number_text(parent, hex_numbers_) + ")"));
                return true;
            }
            if (item.named_streams && stream_match(item, e, parent, "dir(")) {
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
                add_match(e, "inode(", uni::to_utf16(number_text(e.entry_number, hex_numbers_)));
                return true;
            }
            if (item.named_streams && stream_match(item, e, e.entry_number, "inode(")) {
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

bool entry_selector::signature_test(mft_entry_info& e) {
    const std::vector<signature_check>& list = filters_.signatures;
    if (list.empty()) return true;
    const bool and_logic = settings_.and_logic;
    bool header_listed = false;
    for (const signature_check& s : list) {
        if (s.type >= 1 && s.type <= 5) {
            const bool ok = s.test && s.test(e);
            if (ok && !and_logic) return true;
            if (!ok && and_logic) return false;
        } else {
            header_listed = true;
        }
    }
    // Only tests with their own function: under AND logic every one passed.
    if (!header_listed) return and_logic;
    if (!volume_ || !volume_->has_reader()) return true;  // no file data to look at
    const catalogue_row* stream = signature_stream(e);
    if (!stream) return false;
    std::uint32_t length = header_.length;
    if (length == 0)
        for (const signature_check& s : list)
            if (const signature_info* info = find_signature_info(s.type)) length = std::max(length, info->header_bytes);
    if (!read_stream_head(*stream, volume_, header_.offset, length, sample_)) return false;
    for (const signature_check& s : list) {
        const signature_info* info = find_signature_info(s.type);
        if (!info || !info->test(sample_)) continue;
        e.marks.signature = true;
        e.marks.signature_label = std::string(info->label);
        // The signature leads the matched-filter texts.
        e.marks.matched.insert(e.marks.matched.begin(), "type(" + std::string(info->label) + ")");
        return true;
    }
    return false;
}

bool entry_selector::select(mft_entry_info& entry, bool preselected) {
    // Without a time window, a filter or a signature every entry passes, unmarked: no test to run.
    if (!settings_.window.start && !settings_.window.stop && filters_.signatures.empty() && !any_filter()) return true;
    selection_results r;
    r.time_ok = time_test(entry);
    if (!r.time_ok) return false;
    r.any_filter = any_filter();
    // Without a filter the OR test passes at once: its check is not made twice per entry.
    r.or_ok = !r.any_filter || or_test(entry);
    r.and_logic = settings_.and_logic;
    r.preselected = preselected;
    r.signatures_listed = !filters_.signatures.empty();
    return combine_selection(r, [&] { return signature_test(entry); });
}

}  // namespace skelvar
