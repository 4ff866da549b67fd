// Filling the filter collections: from the option values, then, once the
// source is open, turning directory and file paths into entry numbers.
#pragma once

#include <cstdint>
#include <string>

#include "select/filter_collections.h"
#include "select/selection_settings.h"

namespace skelvar {

class entry_reader;
class path_resolver;

// The collections from the option values. `hex_numbers` writes entry numbers
// of the descriptions in hexadecimal.
filter_collections build_filters(const selection_settings& settings, bool hex_numbers);

// Resolves -filter_dir, -filter_dir_recurse and -filter_file paths through the
// open source, and names the directories of -filter_dir_inode. A path that
// cannot be resolved adds no filter (and is reported on standard error).
void complete_filters(filter_collections& filters, const entry_reader& entries, path_resolver& paths,
                      bool hex_numbers);

// The "type(" ... ")" style description of one item, for the diagnostics log.
std::string describe_filter(const filter_item& item);

}  // namespace skelvar
