// Joining the instance files of a -cpu run into one results file: the header
// block once, the column-heading line once (from the first file), then the
// data of every file in instance order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace skelvar {

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

// Where the data of an instance file lies: from its data start to its end.
struct instance_data {
    std::uint64_t start = 0;
    std::uint64_t length = 0;
};

// None when the file cannot be read (logged: "prob accessing %s - for merge")
// or has no data start; it then contributes nothing to the merge.
std::optional<instance_data> locate_instance_data(const std::string& path, bool skip_column_line, diag_log* log);

}  // namespace skelvar
