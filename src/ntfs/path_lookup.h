// From a path typed by the user to the entry number it names: a descent from
// the root directory through the directory indexes, with a cache of each
// directory's children for the time paths are being resolved.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace skelvar {

class diag_log;
class entry_reader;

class path_lookup {
public:
    explicit path_lookup(const entry_reader& entries) : entries_(entries) {}

    // Entry number of `path` ("c:\a\b", "\a\b", "a/b", "[root]\a", a stream name
    // after ":" ignored, any letter case). Links on the way are followed; a link
    // named by the last segment only with `follow_final_link`.
    std::optional<std::uint64_t> lookup_path(std::u16string_view path, bool follow_final_link = false);

    // Every directory below `dir` (not `dir` itself), deleted ones too, with its path:
    // `dir_path` followed by the names on the way. Links are not descended into.
    std::vector<std::pair<std::uint64_t, std::u16string>> directories_below(std::uint64_t dir,
                                                                            const std::u16string& dir_path);

    struct child {
        std::uint64_t entry = 0;
        std::vector<std::u16string> folded_names;  // upper-cased, for matching
        std::u16string shown_name;
        bool is_directory = false;
        bool is_link = false;           // a symbolic link or junction
        bool link_relative = false;     // a symbolic link whose target is relative to its directory
        std::u16string link_target;
    };
    struct listing {
        bool ok = false;
        std::vector<child> children;
    };

    // Children of `dir` with their names (cached).
    const listing& children_of(std::uint64_t dir);

private:
    std::optional<child> read_child(std::uint64_t dir, std::uint64_t entry, const std::vector<std::u16string>* key_names);
    void add_children_from_parent_refs(std::uint64_t dir, std::vector<std::uint64_t>& out);
    // One pass over every record for the parent references of the names.
    void scan_parent_refs();

    diag_log& log() const;

    const entry_reader& entries_;
    std::map<std::uint64_t, listing> cache_;
    // Built on first need by one pass over every record: (parent, child) pairs from every
    // in-use name, and every directory record (deleted ones too) under the directory its
    // first long name names, both sorted by parent.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> parent_refs_;
    struct subdir {
        std::uint64_t parent, entry;
        std::u16string name;
    };
    std::vector<subdir> subdirs_;
    bool scanned_ = false;
};

// The segments of a user path: device prefixes, a drive letter and "[root]" dropped,
// split at "/" when the path holds one, else at "\"; empty segments dropped.
std::vector<std::u16string> split_user_path(std::u16string_view path, bool* from_root = nullptr);

}  // namespace skelvar
