#include "ntfs/directory_cache.h"

#include "ntfs/ntfs_types.h"

namespace skelvar {

namespace {

// Entries the table grows by at least, whatever it holds.
constexpr std::uint64_t min_growth = 1u << 16;

}  // namespace

bool directory_node::matches(std::uint16_t seq) const {
    if (seq == 0 || seq == sequence) return true;
    return !(flags & record_in_use) && sequence != 0 && seq == sequence - 1;
}

std::uint32_t directory_cache::head(std::uint64_t entry) const {
    if (entry < first_.size() && first_[entry] != 0) return first_[entry];
    if (far_first_.empty()) return 0;
    auto it = far_first_.find(entry);
    return it == far_first_.end() ? 0 : it->second;
}

std::uint32_t& directory_cache::first_of(std::uint64_t entry) {
    if (auto it = far_first_.find(entry); it != far_first_.end()) return it->second;
    if (entry < first_.size()) return first_[entry];
    if (entry < 2 * first_.size() + min_growth) {
        first_.resize(static_cast<std::size_t>(entry) + 1, 0);
        return first_[entry];
    }
    return far_first_[entry];
}

directory_node* directory_cache::primary(std::uint64_t entry) {
    const std::uint32_t first = head(entry);
    if (first == 0) return nullptr;
    directory_node& n = nodes_[first - 1].node;
    return n.carved ? nullptr : &n;
}

directory_node* directory_cache::find(std::uint64_t entry, std::uint16_t seq) {
    for (std::uint32_t i = head(entry); i != 0; i = nodes_[i - 1].next) {
        directory_node& n = nodes_[i - 1].node;
        if (n.kind == node_kind::directory && n.matches(seq)) return &n;
    }
    return nullptr;
}

bool directory_cache::contains(std::uint64_t ref) { return find(ref_entry(ref), ref_seq(ref)) != nullptr; }

directory_node& directory_cache::insert(directory_node node) {
    const std::uint64_t entry = node.entry;
    for (std::uint32_t i = head(entry); i != 0; i = nodes_[i - 1].next) {
        directory_node& old = nodes_[i - 1].node;
        // One $MFT record per number; a carved copy once per sequence number.
        if (old.carved == node.carved && (!node.carved || old.sequence == node.sequence)) return old;
    }
    std::uint32_t& first = first_of(entry);
    const auto index = static_cast<std::uint32_t>(nodes_.size() + 1);
    if (node.carved || first == 0) {
        // Behind the nodes already there.
        std::uint32_t* link = &first;
        while (*link != 0) link = &nodes_[*link - 1].next;
        *link = index;
        nodes_.push_back({std::move(node), 0});
    } else {
        // The $MFT's record goes first, ahead of carved copies met before it.
        nodes_.push_back({std::move(node), first});
        first = index;
    }
    return nodes_.back().node;
}

void directory_cache::clear() {
    nodes_.clear();
    first_.assign(first_.size(), 0);
    far_first_.clear();
}

}  // namespace skelvar
