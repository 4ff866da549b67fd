// Directories met during a walk, keyed by exact file reference, so that the
// paths of later entries are built without re-reading their parents.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <set>
#include <string>

namespace skelvar {

struct directory_node {
    std::uint64_t entry = 0;
    std::uint16_t sequence = 0;
    std::u16string name;
    std::set<std::uint64_t> parents;  // parent file references of its path names
    std::uint16_t flags = 0;
    // Memoised directory part of this directory's own path ("[root]\a\b\"), filled on first use.
    std::u16string path;
    bool path_known = false;
};

// Lookups are exact on entry and sequence number and never need an order; a
// hash table answers them in one or two memory accesses where a tree of tens of
// thousands of directories costs a cache miss per level. Nodes stay put when
// the table grows, so pointers to them remain valid for the whole walk.
using directory_cache = std::unordered_map<std::uint64_t, directory_node>;

}  // namespace skelvar
