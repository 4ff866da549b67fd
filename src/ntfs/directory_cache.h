// What the path climb has learned of each record it met, kept for the rest of a
// walk: a directory's name and way up, or why the record is no directory to
// climb through, and the shape of its memoised path.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace skelvar {

enum class node_kind : std::uint8_t {
    unreadable,     // no record could be read or parsed at that number
    not_directory,  // a record without the directory flag
    directory,
};

struct directory_node {
    std::uint64_t entry = 0;
    // The sequence number a child's reference carries. A deleted record's number has
    // usually moved on by one when it was freed, so one less is accepted too.
    std::uint16_t sequence = 0;
    std::uint16_t flags = 0;
    node_kind kind = node_kind::unreadable;
    // The finished path of a child of this node in UTF-8, kept once asked for (within a
    // budget); beside the fields a lookup reads, so a file's path costs one node access.
    bool child_path_kept = false;
    std::string child_path;
    bool carved = false;       // from unallocated space, not the $MFT's record at `entry`
    bool has_parent = false;   // a long name gives the way up
    std::uint64_t parent_ref = 0;
    std::u16string name;       // the name it is shown by

    // The climb's memo. The path is `depth` segments, this node the last, each
    // reached from the one below through `up`, under "[root]\" or, when the
    // chain is broken or too deep, under "[root]\<path corrupted>\".
    enum class climb : std::uint8_t { unknown, climbing, done };
    climb state = climb::unknown;
    bool broken_top = false;
    bool cut = false;  // past the depth or length cap: the directories below are cut here too
    directory_node* up = nullptr;
    std::uint32_t depth = 0;
    std::uint32_t units = 0;  // UTF-16 length of the segments with their separators

    bool matches(std::uint16_t seq) const;
};

// Nodes by entry number: a dense table answers a lookup in one or two memory
// accesses. The $MFT's own record of a number is its first node; directories
// carved from unallocated space under the same number chain behind it. The
// table grows at most twofold past what it holds: an entry number far beyond
// (a carved record names any number) goes to a sparse map. Nodes never move,
// so pointers to them stay valid until `clear`.
class directory_cache {
public:
    // The node of the $MFT's record `entry`, or null when it was not read yet.
    directory_node* primary(std::uint64_t entry);
    // The node of `entry` (primary first) that a reference with `seq` names, or null.
    directory_node* find(std::uint64_t entry, std::uint16_t seq);
    bool contains(std::uint64_t ref);

    // Adds the node; a primary node replaces nothing once one is there.
    directory_node& insert(directory_node node);
    // Largest entry number the table has room for without growing.
    std::uint64_t table_size() const { return first_.size(); }
    bool empty() const { return nodes_.empty(); }
    std::size_t size() const { return nodes_.size(); }
    void clear();

private:
    struct slot {
        directory_node node;
        std::uint32_t next = 0;  // 1 + index of the next node of the same entry; 0 = none
    };
    std::uint32_t head(std::uint64_t entry) const;
    std::uint32_t& first_of(std::uint64_t entry);

    std::vector<std::uint32_t> first_;  // by entry number: 1 + index of its first node; 0 = none
    std::map<std::uint64_t, std::uint32_t> far_first_;  // the same for entry numbers past the table
    std::deque<slot> nodes_;
};

}  // namespace skelvar
