// Full paths from parent references, and the name a record is shown by.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "ntfs/directory_cache.h"
#include "ntfs/mft_entry_info.h"

namespace skelvar {

class entry_reader;

struct parent_path {
    std::u16string path;  // starts with "[root]" and ends with '\'
    std::uint16_t first_parent_flags = 0;
    std::uint16_t first_parent_sequence = 0;
    bool ok = false;
};

// Climbs parent references to the root through the directory cache, reading
// the directories it has not met through the source. Each directory's finished
// path is memoised in its node, so a path costs one lookup once its parent has been seen.
class path_resolver {
public:
    explicit path_resolver(const entry_reader& entries) : entries_(entries) {}

    // Empties the cache (the start of a walk).
    void clear() { cache_.clear(); }
    // A directory record met by the walk, unless the cache holds its exact reference.
    // `before_deletion`: keyed by the sequence number its children name, which
    // the deletion moved on by one (a record carved from free clusters has no
    // $MFT slot to be read from again).
    void add_directory(const mft_entry_info& entry, bool before_deletion = false);
    // Directory part of a path for a name whose parent is `parent_ref`.
    parent_path resolve_parent(std::uint64_t parent_ref);

    directory_cache& cache() { return cache_; }

private:
    const entry_reader& entries_;
    directory_cache cache_;
};

// The name a record is shown by (POSIX/Win32 preferred, held by `entry_number`).
std::u16string choose_name(const std::map<attr_key, file_name_info>& names, std::uint64_t entry_number);

}  // namespace skelvar
