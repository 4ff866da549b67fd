#include "ntfs/path_resolver.h"

#include <algorithm>

#include "ntfs/entry_reader.h"
#include "support/diag_log.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

constexpr std::u16string_view root_text = u"[root]\\";
constexpr std::u16string_view broken_text = u"[root]\\<path corrupted>\\";
// UTF-8 paths kept in the nodes: enough for every directory of a large volume; deep chains
// crafted to exhaust memory are written out again for each file instead.
constexpr std::size_t max_kept_bytes = std::size_t{64} << 20;

// UTF-16 units the node adds to a path: its name and a separator; nothing for
// an empty name or the root's own ".".
std::uint32_t segment_units(const directory_node& n) {
    if (n.name.empty() || n.name == u".") return 0;
    return static_cast<std::uint32_t>(n.name.size() + 1);
}

directory_node node_of(const mft_entry_info& e, bool carved) {
    directory_node n;
    n.entry = e.entry_number;
    n.sequence = e.sequence_number;
    n.flags = e.flags();
    n.carved = carved;
    n.kind = e.is_directory() ? node_kind::directory : node_kind::not_directory;
    if (n.kind != node_kind::directory) return n;
    n.name = choose_name(e.file_names, e.entry_number);
    for (const auto& [key, fn] : e.path_names) {
        if (n.has_parent && fn.parent_ref >= n.parent_ref) continue;
        n.parent_ref = fn.parent_ref;
        n.has_parent = true;
    }
    return n;
}

}  // namespace

std::u16string choose_name(const attr_table<file_name_info>& names, std::uint64_t entry_number) {
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

namespace {

// Entries the source can hold: failures below it are memoised, above it only read.
std::uint64_t source_entries(const mft_reader& records) {
    const mft_source* src = records.source();
    return src && records.record_size() ? src->size_bytes() / records.record_size() : 0;
}

}  // namespace

void path_resolver::add_directory(const mft_entry_info& entry) {
    if (!entry.is_directory()) return;
    const std::uint64_t n = entry.entry_number;
    if (!entry.from_unallocated && cache_.has_primary(n)) return;
    cache_.insert(node_of(entry, entry.from_unallocated));
}

void path_resolver::prefetch_parents(const mft_entry_info& entry) const {
    for (const auto& [key, fn] : entry.file_names) cache_.prefetch_head(ref_entry(fn.parent_ref));
}

void path_resolver::prefetch_parent_slots(const mft_entry_info& entry) const {
    for (const auto& [key, fn] : entry.file_names) cache_.prefetch_slot(ref_entry(fn.parent_ref));
}

directory_node* path_resolver::load(std::uint64_t entry) {
    mft_reader& records = entries_.records();
    records.log().text("... trying to resolve [next] parent subdir ...");
    if (entries_.read_and_parse(entry, parent_record_, parent_bytes_)) return &cache_.insert(node_of(parent_record_, false));
    if (entry >= cache_.table_size() && entry >= source_entries(records)) return nullptr;
    directory_node unreadable;
    unreadable.entry = entry;
    return &cache_.insert(std::move(unreadable));
}

directory_cache::handle path_resolver::handle_for(std::uint64_t ref) {
    const std::uint64_t entry = ref_entry(ref);
    if (!cache_.has_primary(entry)) load(entry);
    return cache_.find_handle(entry, ref_seq(ref));
}

directory_node* path_resolver::node_for(std::uint64_t ref) {
    const directory_cache::handle h = handle_for(ref);
    return h ? &cache_.node(h) : nullptr;
}

// Settles every node from `start` up to the first one already settled, the root or a
// break. Each node is climbed through once per walk, so chains cost linear time.
void path_resolver::settle(directory_node& start) {
    if (start.state == directory_node::climb::done) return;
    climb_.clear();
    directory_node* cur = &start;
    directory_node* above = nullptr;  // the settled node the climb ended on
    bool broken = false;
    std::size_t loop_from = climb_.size();
    bool looped = false;
    for (;;) {
        if (cur->state == directory_node::climb::done) {
            above = cur;
            break;
        }
        if (cur->state == directory_node::climb::climbing) {
            loop_from = static_cast<std::size_t>(std::find(climb_.begin(), climb_.end(), cur) - climb_.begin());
            looped = true;
            break;
        }
        cur->state = directory_node::climb::climbing;
        climb_.push_back(cur);
        if (!cur->has_parent) {
            broken = true;
            break;
        }
        if (ref_entry(cur->parent_ref) == root_entry) break;
        directory_node* next = node_for(cur->parent_ref);
        if (!next) {
            broken = true;
            break;
        }
        cur->up = next;
        cur = next;
    }

    std::size_t end = climb_.size();
    if (looped) {
        // Each member of a loop shows the loop once, itself last, under the corrupted mark.
        std::uint64_t units = 0;
        for (std::size_t i = loop_from; i < end; ++i) units += segment_units(*climb_[i]);
        const std::size_t length = end - loop_from;
        const bool fits = units <= max_path_units && length <= max_path_depth;
        for (std::size_t i = loop_from; i < end; ++i) {
            directory_node& n = *climb_[i];
            n.broken_top = true;
            n.state = directory_node::climb::done;
            n.depth = fits ? static_cast<std::uint32_t>(length) : 1;
            n.units = fits ? static_cast<std::uint32_t>(units) : segment_units(n);
            n.cut = !fits;
            if (!fits) n.up = nullptr;
        }
        above = climb_[loop_from];
        end = loop_from;
    }
    for (std::size_t i = end; i-- > 0;) {
        directory_node& n = *climb_[i];
        directory_node* over = i + 1 < end ? climb_[i + 1] : above;
        const std::uint32_t seg = segment_units(n);
        if (over && !over->cut && over->depth < max_path_depth && over->units + seg <= max_path_units) {
            n.up = over;
            n.depth = over->depth + 1;
            n.units = over->units + seg;
            n.broken_top = over->broken_top;
        } else {
            // Top of its chain: the root, a break, or past the cut of a chain too deep or long,
            // where each directory shows itself alone, so that hostile chains cannot make every
            // row tens of thousands of units long.
            n.up = nullptr;
            n.cut = over != nullptr;
            n.depth = 1;
            n.units = seg;
            n.broken_top = over != nullptr || broken;
        }
        n.state = directory_node::climb::done;
    }
}

std::u16string_view path_resolver::write_path(const directory_node* last, bool broken) {
    const std::u16string_view top = broken ? broken_text : root_text;
    const std::size_t total = top.size() + (last ? last->units : 0);
    path_.resize(total);
    std::copy(top.begin(), top.end(), path_.begin());
    std::size_t pos = total;
    const directory_node* n = last;
    for (std::uint32_t d = last ? last->depth : 0; d > 0; --d, n = n->up) {
        if (!segment_units(*n)) continue;
        path_[--pos] = u'\\';
        pos -= n->name.size();
        std::copy(n->name.begin(), n->name.end(), path_.begin() + static_cast<std::ptrdiff_t>(pos));
    }
    return path_;
}

std::u16string_view path_resolver::resolve_parent(std::uint64_t parent_ref) {
    if (ref_entry(parent_ref) == root_entry) return write_path(nullptr, false);
    if (!entries_.records().ready() || parent_ref == ~0ull) return write_path(nullptr, true);
    directory_node* node = node_for(parent_ref);
    if (!node) return write_path(nullptr, true);
    settle(*node);
    return write_path(node, node->broken_top);
}

std::string_view path_resolver::resolve_parent_utf8(std::uint64_t parent_ref) {
    directory_cache::handle node = 0;
    if (ref_entry(parent_ref) != root_entry && entries_.records().ready() && parent_ref != ~0ull) {
        node = handle_for(parent_ref);
        if (node)
            if (const auto kept = cache_.kept_child_path(node)) return *kept;
    }
    utf8_.clear();
    uni::append_utf8(resolve_parent(parent_ref), utf8_);
    if (node && kept_bytes_ + utf8_.size() <= max_kept_bytes) {
        cache_.keep_child_path(node, utf8_);
        kept_bytes_ += utf8_.size();
    }
    return utf8_;
}

}  // namespace skelvar
