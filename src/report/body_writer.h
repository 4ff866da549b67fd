// The body file that timeline tools read (md5|name|inode|mode|uid|gid|size|atime|mtime|ctime|crtime):
// one line per name, two when the name's $FILE_NAME times differ from the $STANDARD_INFORMATION times.
#pragma once

#include <memory>
#include <ostream>
#include <string_view>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

struct mft_entries_ctx;

class body_writer {
public:
    body_writer(mft_entries_ctx& ctx, std::ostream& out);
    ~body_writer();
    body_writer(const body_writer&) = delete;
    body_writer& operator=(const body_writer&) = delete;

    // Header line first (once), then the entry's lines. A stream name, when given,
    // follows every name after a ':'.
    void write_entry(const mft_entry_info& entry, std::u16string_view stream_name = {});
    void write_header();

private:
    struct impl;
    std::unique_ptr<impl> impl_;
};

}  // namespace skelvar
