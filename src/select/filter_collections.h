// The filter collections of a run: built from the option values, completed
// when the source opens (paths become entry numbers), read-only in the walks.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "select/wildcard.h"

namespace skelvar {

struct mft_entry_info;

// Kinds of filter_item (bit 0x8000 marks a variant and is ignored).
enum filter_type : std::uint32_t {
    ft_extension = 0,
    ft_partial_name = 1,
    ft_path_and_name = 2,
    ft_entry_number = 3,
    ft_directory = 4,
    ft_directory_entry = 5,
    ft_signature = 6,
    ft_directory_tree = 7,
    ft_full_name = 8,
};
constexpr std::uint32_t filter_variant_bit = 0x8000;

struct filter_item {
    bool has_path = false;        // the given text held a backslash
    bool partial_front = false;   // the two partial-match flags: the text may sit anywhere in a name
    bool partial_back = false;
    std::u16string text;          // lower case; after the last backslash when a path was given
    std::set<std::u16string> names;  // lower-case stream names it applies to
    std::uint32_t type = 0;
    bool whole_entry = false;
    bool named_streams = false;
    std::u16string resolved_path;
    std::string pattern_text, source_text, description;
};

// Signature tests of -filter_sig; codes 1 to 5 carry their own test function.
using entry_test = bool (*)(const mft_entry_info&);
struct signature_check {
    std::uint32_t type = 0;
    entry_test test = nullptr;
};

struct filter_collections {
    std::vector<std::u16string> extensions;  // lower case, no "."
    std::vector<std::u16string> dir_paths;   // -filter_dir, as given
    std::vector<std::u16string> dir_tree_paths;  // -filter_dir_recurse
    std::vector<std::u16string> file_paths;  // -filter_file (both occurrences)
    std::map<std::u16string, filter_item> names;     // -filter_name, -filter_fullname
    std::map<std::uint64_t, filter_item> entries;    // -filter_inode, resolved -filter_file
    std::map<std::uint64_t, filter_item> directories;  // -filter_dir_inode, resolved -filter_dir(_recurse)
    std::vector<wildcard_pattern> wildcards;
    std::vector<signature_check> signatures;

    // A path was asked for but not resolved: a filter that found nothing selects
    // nothing rather than everything, so these count as filters too.
    bool any_path() const { return !dir_paths.empty() || !dir_tree_paths.empty() || !file_paths.empty(); }
};

}  // namespace skelvar
