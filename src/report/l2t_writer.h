// The log2timeline CSV layout: one line per event, an event being the times of one
// source ($STANDARD_INFORMATION, or one $FILE_NAME) that share a value.
#pragma once

#include <memory>
#include <ostream>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

struct mft_entries_ctx;

class l2t_writer {
public:
    l2t_writer(mft_entries_ctx& ctx, std::ostream& out);
    ~l2t_writer();
    l2t_writer(const l2t_writer&) = delete;
    l2t_writer& operator=(const l2t_writer&) = delete;

    void write_entry(const mft_entry_info& entry);
    void write_header();

private:
    struct impl;
    std::unique_ptr<impl> impl_;
};

}  // namespace skelvar
