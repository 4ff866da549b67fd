// What the path climb has learned of each record it met, kept for the rest of a
// walk: a directory's name and way up, or why the record is no directory to
// climb through, and the shape of its memoised path.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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
};

// Nodes by entry number: a dense table answers a lookup in one or two memory
// accesses. The $MFT's own record of a number is its first node; directories
// carved from unallocated space under the same number chain behind it. The
// table grows at most twofold past what it holds: an entry number far beyond
// (a carved record names any number) goes to a sparse map. Nodes never move,
// so pointers to them stay valid until `clear`.
//
// A file's path is one lookup among tens of thousands of directories in no
// order, so what a lookup reads (the fields that match a reference and the kept
// path) sits in a compact table of its own, apart from the nodes the climb uses.
class directory_cache {
public:
    // Node handles: 1 + the index of the node; 0 = none.
    using handle = std::uint32_t;

    // The node of the $MFT's record `entry`, or null when it was not read yet.
    directory_node* primary(std::uint64_t entry);
    bool has_primary(std::uint64_t entry) const;
    // Hints for a lookup of `entry` to come: a file's parent is one directory among
    // thousands in no order, and its table entry, then its lookup slot and kept path,
    // are each a cache miss that depends on the one before. Started early, they overlap
    // with the record's other work. Nothing is read that is not already in memory.
    void prefetch_head(std::uint64_t entry) const {
        if (entry < first_.size()) __builtin_prefetch(&first_[entry]);
    }
    void prefetch_slot(std::uint64_t entry) const {
        if (entry < first_.size() && first_[entry] != 0) __builtin_prefetch(&hot_[first_[entry] - 1]);
    }
    // The node of `entry` (primary first) that a reference with `seq` names, or null.
    directory_node* find(std::uint64_t entry, std::uint16_t seq);
    handle find_handle(std::uint64_t entry, std::uint16_t seq) const;
    bool contains(std::uint64_t ref) const;
    directory_node& node(handle h) { return chunks_[(h - 1) >> chunk_bits][(h - 1) & chunk_mask]; }

    // Adds the node; a primary node replaces nothing once one is there.
    directory_node& insert(directory_node node);
    // Largest entry number the table has room for without growing.
    std::uint64_t table_size() const { return first_.size(); }
    bool empty() const { return hot_.empty(); }
    std::size_t size() const { return hot_.size(); }
    void clear();

    // The UTF-8 path of a child of the node, once kept.
    std::optional<std::string_view> kept_child_path(handle h) const;
    void keep_child_path(handle h, std::string_view path);

private:
    static constexpr unsigned chunk_bits = 10;
    static constexpr std::uint32_t chunk_mask = (1u << chunk_bits) - 1;

    // What a lookup reads of a node.
    struct lookup_slot {
        const char* child_path = nullptr;  // kept path of a child; null until kept
        std::uint32_t child_path_size = 0;
        handle next = 0;  // the next node of the same entry
        std::uint16_t sequence = 0;
        std::uint16_t flags = 0;
        node_kind kind = node_kind::unreadable;
        bool carved = false;

        bool matches(std::uint16_t seq) const;
    };
    handle head(std::uint64_t entry) const;
    handle& first_of(std::uint64_t entry);
    lookup_slot& slot(handle h) { return hot_[h - 1]; }
    const lookup_slot& slot(handle h) const { return hot_[h - 1]; }

    std::vector<handle> first_;  // by entry number: the first node of the entry
    std::map<std::uint64_t, handle> far_first_;  // the same for entry numbers past the table
    std::vector<lookup_slot> hot_;
    std::vector<std::unique_ptr<directory_node[]>> chunks_;
    // Kept paths, packed into blocks that never move.
    std::vector<std::unique_ptr<char[]>> path_blocks_;
    std::size_t path_block_used_ = 0;
};

}  // namespace skelvar
