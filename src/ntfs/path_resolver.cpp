#include "ntfs/path_resolver.h"

#include <set>

#include "ntfs/entry_reader.h"
#include "support/diag_log.h"

namespace skelvar {

namespace {

const std::u16string root_text = u"[root]";
const std::u16string corrupted_text = u"<path corrupted>";

struct segment {
    const std::u16string* text;  // points into the cache or at a literal
    directory_node* node;        // the directory the segment names, or null
};

void append_segment(std::u16string& out, const std::u16string& s) {
    if (s.empty() || s == u".") return;
    out += s;
    out += u'\\';
}

}  // namespace

std::u16string choose_name(const std::map<attr_key, file_name_info>& names, std::uint64_t entry_number) {
    if (names.size() == 1) return names.begin()->second.name;
    const bool any_holder = entry_number == type_mask_48 || entry_number == type_mask_48 - 1 ||
                            entry_number == ~0ull || entry_number == ~0ull - 1;
    const file_name_info* fallback = nullptr;
    for (const auto& [key, fn] : names) {
        if (!(fn.name_space == ns_posix || (fn.name_space & 1))) continue;
        if (any_holder || fn.holder_entry == entry_number) return fn.name;
        if (!fallback) fallback = &fn;
    }
    return fallback ? fallback->name : std::u16string();
}

void path_resolver::add_directory(const mft_entry_info& entry, bool before_deletion) {
    std::uint16_t seq = entry.sequence_number;
    if (before_deletion && !entry.in_use() && seq != 0) --seq;
    const std::uint64_t ref = make_ref(entry.entry_number, seq);
    if (cache_.contains(ref)) return;
    directory_node node;
    node.name = choose_name(entry.file_names, entry.entry_number);
    for (const auto& [key, fn] : entry.path_names) node.parents.insert(fn.parent_ref);
    node.flags = entry.flags();
    cache_.insert_or_assign(ref, std::move(node));
}

parent_path path_resolver::resolve_parent(std::uint64_t parent_ref) {
    parent_path result;
    if (!entries_.records().ready() || parent_ref == ~0ull) return result;

    std::vector<segment> segments;
    std::set<std::uint64_t> visited;
    const std::u16string* prefix = nullptr;  // a memoised ancestor path ends the climb early
    bool clean = true;                       // reached the root without a broken link
    bool failed_first = false;
    bool first = true;
    std::uint64_t current = parent_ref;

    auto stop_corrupted = [&] {
        segments.push_back({&corrupted_text, nullptr});
        clean = false;
    };

    if (ref_entry(current) == root_entry) {
        if (const directory_node* root = cache_.find(current)) result.first_parent_flags = root->flags;
    }
    while (ref_entry(current) != root_entry) {
        directory_node* node = cache_.find(current);
        if (node) {
            if (first) {
                result.first_parent_flags = node->flags;
                result.first_parent_sequence = node->sequence;
            }
            if (node->path_known) {
                prefix = &node->path;
                break;
            }
        } else {
            entries_.records().log().text("... trying to resolve [next] parent subdir ...");
            mft_entry_info dir;
            if (!entries_.read_and_parse(ref_entry(current), dir) || dir.path_names.empty()) {
                clean = false;
                failed_first = first;
                break;
            }
            const std::uint16_t flags = dir.flags();
            if (first) result.first_parent_flags = flags;
            if (!(flags & record_is_directory)) {
                stop_corrupted();
                break;
            }
            // A deleted record's sequence number has already moved on.
            std::uint16_t seq = dir.sequence_number;
            if (!(flags & record_in_use) && seq != 0) --seq;
            if (ref_seq(current) == 0) {
                current = make_ref(current, seq);
            } else if (ref_seq(current) != seq) {
                stop_corrupted();
                break;
            }
            directory_node fresh;
            fresh.name = choose_name(dir.file_names, ref_entry(current));
            for (const auto& [key, fn] : dir.path_names) fresh.parents.insert(fn.parent_ref);
            fresh.flags = flags;
            node = &cache_.insert_or_assign(current, std::move(fresh));
            if (first) result.first_parent_sequence = seq;
        }
        segments.push_back({&node->name, node});
        if (node->parents.empty()) {
            clean = false;
            break;
        }
        const std::uint64_t next = *node->parents.begin();
        if (!visited.insert(next).second) {
            stop_corrupted();
            break;
        }
        if (next == current) {
            stop_corrupted();
            break;
        }
        current = next;
        first = false;
    }

    std::u16string& path = result.path;
    if (prefix) {
        path = *prefix;
    } else {
        path = root_text;
        path += u'\\';
    }
    // Segments were collected from the parent upwards; join them from the top down.
    for (auto s = segments.rbegin(); s != segments.rend(); ++s) {
        append_segment(path, *s->text);
        // Only a clean climb gives each directory on it a path that can be reused.
        if (clean && s->node && !s->node->path_known) {
            s->node->path = path;
            s->node->path_known = true;
        }
    }
    result.ok = !failed_first;
    return result;
}

}  // namespace skelvar
