// Full paths from parent references, and the name a record is shown by.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ntfs/directory_cache.h"
#include "ntfs/mft_entry_info.h"

namespace skelvar {

class entry_reader;

// Deeper or longer chains are cut there: no NTFS path holds more than 32,767
// UTF-16 units, so none has more levels than half that. Every directory past
// the cut reads "[root]\<path corrupted>\" and its own name.
constexpr std::uint32_t max_path_units = 32767;
constexpr std::uint32_t max_path_depth = 16384;

// Climbs parent references to the root through the directory cache, reading the
// records it has not met through the source, so a path does not depend on what
// the walk met before. Each directory's place in the chain is memoised once
// (broken chains too): a path costs one climb over cached nodes, written into a
// reused buffer, and the memory stays linear in the number of directories.
class path_resolver {
public:
    explicit path_resolver(const entry_reader& entries) : entries_(entries) {}

    // Empties the cache (the start of a walk).
    void clear() {
        cache_.clear();
        kept_bytes_ = 0;
    }
    // A record the walk parsed: saves reading it again when it is a parent.
    void add_directory(const mft_entry_info& entry);
    // Directory part of the path of a name whose parent is `parent_ref`: "[root]\a\b\".
    // A chain that cannot be completed (unreadable, non-directory or reused parent,
    // no long name, a loop, too deep) reads "[root]\<path corrupted>\" and the part
    // below the break. Valid until the next call.
    std::u16string_view resolve_parent(std::uint64_t parent_ref);
    // The same path in UTF-8, as the writers show it. A directory's is kept after its first
    // use, so the files under it copy it instead of climbing again. Valid until the next call.
    std::string_view resolve_parent_utf8(std::uint64_t parent_ref);

    directory_cache& cache() { return cache_; }

    // Starts bringing in what the paths of the entry's names will look up: the table
    // entries of their parents first, their lookup slots once those have arrived.
    void prefetch_parents(const mft_entry_info& entry) const;
    void prefetch_parent_slots(const mft_entry_info& entry) const;

private:
    directory_cache::handle handle_for(std::uint64_t ref);
    directory_node* node_for(std::uint64_t ref);
    directory_node* load(std::uint64_t entry);
    void settle(directory_node& start);
    std::u16string_view write_path(const directory_node* last, bool broken);

    const entry_reader& entries_;
    directory_cache cache_;
    std::vector<directory_node*> climb_;
    std::u16string path_;
    std::string utf8_;
    std::size_t kept_bytes_ = 0;  // UTF-8 paths kept in the nodes
    mft_entry_info parent_record_;  // a parent read from the source, reused: many are read ahead of the walk
    std::vector<std::uint8_t> parent_bytes_;  // its record
};

// The name a record is shown by (POSIX/Win32 preferred, held by `entry_number`).
std::u16string choose_name(const attr_table<file_name_info>& names, std::uint64_t entry_number);

}  // namespace skelvar
