// The default timeline layout and -csv: one line per distinct timestamp and name.
#pragma once

#include <memory>
#include <ostream>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

struct mft_entries_ctx;

class timeline_writer {
public:
    timeline_writer(mft_entries_ctx& ctx, std::ostream& out);
    ~timeline_writer();
    timeline_writer(const timeline_writer&) = delete;
    timeline_writer& operator=(const timeline_writer&) = delete;

    // Runs the per-stream actions, then writes the entry's lines (header line first, once).
    void write_entry_report(mft_entry_info& entry);

    // Writes the header line when it has not been written yet (so that a run
    // that reports nothing still leaves a header). Nothing is flushed.
    void write_header();

private:
    struct impl;
    std::unique_ptr<impl> impl_;
};

}  // namespace skelvar
