// The filter options as typed, and the flags that decide how the filters combine.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace skelvar {

// FILETIME ticks; both 0 = no window.
struct time_window {
    std::uint64_t start = 0;
    std::uint64_t stop = 0;
};

struct selection_settings {
    std::vector<std::string> exts;        // -filter_ext
    std::vector<std::string> names;       // -filter_name (partial names)
    std::vector<std::string> fullnames;   // -filter_fullname
    std::vector<std::string> dirs;        // -filter_dir
    std::vector<std::string> dir_trees;   // -filter_dir_recurse
    std::vector<std::string> files;       // -filter_file
    std::vector<std::string> wildcards;   // -filter_wildcard
    std::vector<std::string> patterns;    // -filter_pattern (stored; no test reads them)
    std::set<std::uint64_t> inodes;       // -filter_inode (48-bit entry numbers)
    std::set<std::uint64_t> dir_inodes;   // -filter_dir_inode
    std::vector<std::uint32_t> sig_types;  // -filter_sig: signature type codes 30..38
    std::uint64_t max_size = 0;           // 0 = not set
    std::uint64_t min_size = 0;
    std::uint64_t min_ads_size = 0;
    time_window window;  // -filter_start_time, -filter_stop_time
    bool deleted_only = false;  // -filter_deleted_files (and the first half of -filter_deleted_files_all)
    bool and_logic = false;     // every filter given must match
};

}  // namespace skelvar
