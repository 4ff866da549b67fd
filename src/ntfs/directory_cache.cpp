#include "ntfs/directory_cache.h"

#include "ntfs/ntfs_types.h"

namespace skelvar {

namespace {

// Entries the table grows by at least, whatever it holds.
constexpr std::uint64_t min_growth = 1u << 16;

}  // namespace

directory_node* directory_cache::find(std::uint64_t ref) {
    const std::uint64_t entry = ref_entry(ref);
    std::uint32_t head = entry < first_.size() ? first_[entry] : 0;
    if (head == 0 && !far_first_.empty()) {
        auto it = far_first_.find(entry);
        if (it != far_first_.end()) head = it->second;
    }
    const std::uint16_t seq = ref_seq(ref);
    for (std::uint32_t i = head; i != 0; i = nodes_[i - 1].next) {
        directory_node& n = nodes_[i - 1].node;
        if (n.sequence == seq) return &n;
    }
    return nullptr;
}

directory_node& directory_cache::insert_or_assign(std::uint64_t ref, directory_node node) {
    // The key decides where a node is found, whatever the node says of itself.
    node.entry = ref_entry(ref);
    node.sequence = ref_seq(ref);
    if (directory_node* old = find(ref)) return *old = std::move(node);
    std::uint32_t& head = first_of(node.entry);
    nodes_.push_back({std::move(node), head});
    head = static_cast<std::uint32_t>(nodes_.size());
    return nodes_.back().node;
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

void directory_cache::clear() {
    nodes_.clear();
    first_.assign(first_.size(), 0);
    far_first_.clear();
}

}  // namespace skelvar
