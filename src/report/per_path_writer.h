// The per-path layout (-csvperpath, and the report of -action_copy_files): one row per
// path name with all its $STANDARD_INFORMATION, $FILE_NAME and DOS-name times in columns.
#pragma once

#include <memory>
#include <ostream>
#include <string_view>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

struct mft_entries_ctx;

class per_path_writer {
public:
    per_path_writer(mft_entries_ctx& ctx, std::ostream& out);
    ~per_path_writer();
    per_path_writer(const per_path_writer&) = delete;
    per_path_writer& operator=(const per_path_writer&) = delete;

    // `stream_name` (when given) follows the name after a ':'. With `size_only` the
    // "ADS metadata" cell lists the named streams and their sizes; without it every
    // stream's description with its cluster runs.
    void write_entry(const mft_entry_info& entry, std::u16string_view stream_name = {}, bool size_only = true);
    void write_header();

private:
    struct impl;
    std::unique_ptr<impl> impl_;
};

}  // namespace skelvar
