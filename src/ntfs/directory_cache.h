// Directories met during a walk, keyed by exact file reference, so that the
// paths of later entries are built without re-reading their parents.
#pragma once

#include <cstdint>
#include <map>
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

// Ordered by entry number, then sequence number: (entry, seq) pairs.
struct ref_order {
    bool operator()(std::uint64_t a, std::uint64_t b) const {
        std::uint64_t ea = a & 0x0000FFFFFFFFFFFFull, eb = b & 0x0000FFFFFFFFFFFFull;
        return ea != eb ? ea < eb : (a >> 48) < (b >> 48);
    }
};

using directory_cache = std::map<std::uint64_t, directory_node, ref_order>;

}  // namespace skelvar
