// Joining the instance files of a -cpu run into one results file: the header
// block once, the column-heading line once (from the first file), then the
// data of every file in instance order.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace skelvar {

class append_file;
class diag_log;

// How much of an instance file is searched for its data start.
constexpr std::size_t merge_scan_bytes = 16384;

// Offset in `head` (the first bytes of an instance file) where its data
// starts. The header block ends at the first empty line (white space only);
// with `skip_column_line` the next non-empty line is skipped too. Line ends
// after it are skipped. None when a zero byte or the end of `head` comes first.
std::optional<std::size_t> data_start(std::string_view head, bool skip_column_line);

// The header block as it leads the merged file: the header's lines and one
// empty line, whatever line ends the text had at its end. Empty for an empty header.
std::string merged_header(std::string_view header);

struct merge_outcome {
    bool found_data = false;  // the file had a data start (its header block was complete)
    bool write_ok = true;
};

// Appends the data of one instance file to `target` and deletes the file. An
// unreadable file is logged ("prob accessing %s - for merge") and contributes
// nothing, as does a file without a data start.
merge_outcome merge_instance_file(append_file& target, const std::string& path, bool skip_column_line,
                                  diag_log* log);

}  // namespace skelvar
