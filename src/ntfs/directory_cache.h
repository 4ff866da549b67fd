// Directories met during a walk, keyed by exact file reference, so that the
// paths of later entries are built without re-reading their parents.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

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

// Lookups are exact on entry and sequence number. A dense table by entry number
// answers them in one or two memory accesses; the few entries seen under two
// sequence numbers (a deleted directory and its reuse) chain their nodes. The
// table grows at most twofold past what it holds: an entry number far beyond
// (a record carved from free clusters names any number) goes to a sparse map.
// Nodes never move, so pointers to them stay valid until `clear`.
class directory_cache {
public:
    directory_node* find(std::uint64_t ref);
    bool contains(std::uint64_t ref) { return find(ref) != nullptr; }
    // Inserts the node under `ref`, replacing one already there.
    directory_node& insert_or_assign(std::uint64_t ref, directory_node node);
    bool empty() const { return nodes_.empty(); }
    std::size_t size() const { return nodes_.size(); }
    void clear();

private:
    struct slot {
        directory_node node;
        std::uint32_t next = 0;  // 1 + index of the next node of the same entry; 0 = none
    };
    std::uint32_t& first_of(std::uint64_t entry);

    std::vector<std::uint32_t> first_;  // by entry number: 1 + index of its first node; 0 = none
    std::map<std::uint64_t, std::uint32_t> far_first_;  // the same for entry numbers past the table
    std::deque<slot> nodes_;
};

}  // namespace skelvar
