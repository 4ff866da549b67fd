// -filepath_only: the full path of every name of the files in use, one per line.
#pragma once

#include <memory>
#include <ostream>
#include <string_view>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

struct mft_entries_ctx;

class path_only_writer {
public:
    path_only_writer(mft_entries_ctx& ctx, std::ostream& out);
    ~path_only_writer();
    path_only_writer(const path_only_writer&) = delete;
    path_only_writer& operator=(const path_only_writer&) = delete;

    // Directories, deleted records and entries without names write nothing; there is no header.
    void write_entry(const mft_entry_info& entry, std::u16string_view stream_name = {});

private:
    struct impl;
    std::unique_ptr<impl> impl_;
};

}  // namespace skelvar
