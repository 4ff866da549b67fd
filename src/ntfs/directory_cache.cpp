#include "ntfs/directory_cache.h"

#include "ntfs/ntfs_types.h"

namespace skelvar {

directory_node* directory_cache::find(std::uint64_t ref) {
    const std::uint64_t entry = ref_entry(ref);
    if (entry >= first_.size()) return nullptr;
    const std::uint16_t seq = ref_seq(ref);
    for (std::uint32_t i = first_[entry]; i != 0; i = nodes_[i - 1].next) {
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
    // Only readable records are inserted, so the table stays within the size of the $MFT.
    const std::uint64_t entry = node.entry;
    if (entry >= first_.size()) first_.resize(static_cast<std::size_t>(entry) + 1, 0);
    nodes_.push_back({std::move(node), first_[entry]});
    first_[entry] = static_cast<std::uint32_t>(nodes_.size());
    return nodes_.back().node;
}

void directory_cache::clear() {
    nodes_.clear();
    first_.assign(first_.size(), 0);
}

}  // namespace skelvar
