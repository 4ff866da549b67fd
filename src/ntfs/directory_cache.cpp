#include "ntfs/directory_cache.h"

#include <cstring>

#include "ntfs/ntfs_types.h"

namespace skelvar {

namespace {

// Entries the table grows by at least, whatever it holds.
constexpr std::uint64_t min_growth = 1u << 16;
// Kept paths are packed into blocks of this size (a longer one gets a block of its own).
constexpr std::size_t path_block_size = std::size_t{1} << 20;

}  // namespace

bool directory_cache::lookup_slot::matches(std::uint16_t seq) const {
    if (seq == 0 || seq == sequence) return true;
    return !(flags & record_in_use) && sequence != 0 && seq == sequence - 1;
}

directory_cache::handle directory_cache::head(std::uint64_t entry) const {
    if (entry < first_.size() && first_[entry] != 0) return first_[entry];
    if (far_first_.empty()) return 0;
    auto it = far_first_.find(entry);
    return it == far_first_.end() ? 0 : it->second;
}

directory_cache::handle& directory_cache::first_of(std::uint64_t entry) {
    if (auto it = far_first_.find(entry); it != far_first_.end()) return it->second;
    if (entry < first_.size()) return first_[entry];
    if (entry < 2 * first_.size() + min_growth) {
        first_.resize(static_cast<std::size_t>(entry) + 1, 0);
        return first_[entry];
    }
    return far_first_[entry];
}

bool directory_cache::has_primary(std::uint64_t entry) const {
    const handle first = head(entry);
    return first != 0 && !slot(first).carved;
}

directory_node* directory_cache::primary(std::uint64_t entry) {
    const handle first = head(entry);
    return first != 0 && !slot(first).carved ? &node(first) : nullptr;
}

directory_cache::handle directory_cache::find_handle(std::uint64_t entry, std::uint16_t seq) const {
    for (handle h = head(entry); h != 0; h = slot(h).next) {
        const lookup_slot& s = slot(h);
        if (s.kind == node_kind::directory && s.matches(seq)) return h;
    }
    return 0;
}

directory_node* directory_cache::find(std::uint64_t entry, std::uint16_t seq) {
    const handle h = find_handle(entry, seq);
    return h ? &node(h) : nullptr;
}

bool directory_cache::contains(std::uint64_t ref) const { return find_handle(ref_entry(ref), ref_seq(ref)) != 0; }

directory_node& directory_cache::insert(directory_node n) {
    const std::uint64_t entry = n.entry;
    for (handle h = head(entry); h != 0; h = slot(h).next) {
        const lookup_slot& old = slot(h);
        // One $MFT record per number; a carved copy once per sequence number.
        if (old.carved == n.carved && (!n.carved || old.sequence == n.sequence)) return node(h);
    }
    handle& first = first_of(entry);
    const auto added = static_cast<handle>(hot_.size() + 1);
    lookup_slot s;
    s.sequence = n.sequence;
    s.flags = n.flags;
    s.kind = n.kind;
    s.carved = n.carved;
    if (n.carved || first == 0) {
        // Behind the nodes already there.
        handle* link = &first;
        while (*link != 0) link = &slot(*link).next;
        *link = added;
    } else {
        // The $MFT's record goes first, ahead of carved copies met before it.
        s.next = first;
        first = added;
    }
    hot_.push_back(s);
    if (((added - 1) & chunk_mask) == 0) chunks_.push_back(std::make_unique<directory_node[]>(chunk_mask + 1));
    directory_node& placed = node(added);
    placed = std::move(n);
    return placed;
}

std::optional<std::string_view> directory_cache::kept_child_path(handle h) const {
    const lookup_slot& s = slot(h);
    if (!s.child_path) return std::nullopt;
    return std::string_view(s.child_path, s.child_path_size);
}

void directory_cache::keep_child_path(handle h, std::string_view path) {
    char* at = nullptr;
    if (path.size() > path_block_size) {
        // A block of its own, slipped in before the one being filled.
        auto own = std::make_unique_for_overwrite<char[]>(path.size() + 1);
        at = own.get();
        path_blocks_.insert(path_blocks_.empty() ? path_blocks_.end() : path_blocks_.end() - 1, std::move(own));
    } else {
        if (path_blocks_.empty() || path_block_size - path_block_used_ < path.size() + 1) {
            path_blocks_.push_back(std::make_unique_for_overwrite<char[]>(path_block_size));
            path_block_used_ = 0;
        }
        at = path_blocks_.back().get() + path_block_used_;
        path_block_used_ += path.size() + 1;  // a non-empty pointer for the empty path too
    }
    std::memcpy(at, path.data(), path.size());
    lookup_slot& s = slot(h);
    s.child_path = at;
    s.child_path_size = static_cast<std::uint32_t>(path.size());
}

void directory_cache::clear() {
    hot_.clear();
    chunks_.clear();
    path_blocks_.clear();
    path_block_used_ = 0;
    first_.assign(first_.size(), 0);
    far_first_.clear();
}

}  // namespace skelvar
