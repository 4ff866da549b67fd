// One layout of the results: its header line once, then the lines of each entry.
#pragma once

#include <ostream>
#include <string_view>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

class layout_writer {
public:
    explicit layout_writer(std::ostream& out) : out_(out) {}
    virtual ~layout_writer() = default;
    layout_writer(const layout_writer&) = delete;
    layout_writer& operator=(const layout_writer&) = delete;

    // The header line first (once), then the entry's lines. A stream name, when
    // given, follows every name after a ':' (the reports of copied streams).
    void write(const mft_entry_info& entry, std::u16string_view stream_name = {}) {
        write_header();
        write_entry(entry, stream_name);
    }
    // The header line when it has not been written yet, so that a run that
    // reports nothing still leaves one. Nothing is flushed.
    void write_header() {
        if (!header_pending_) return;
        header_pending_ = false;
        write_header_line();
    }

protected:
    virtual void write_header_line() = 0;
    virtual void write_entry(const mft_entry_info& entry, std::u16string_view stream_name) = 0;

    std::ostream& out_;

private:
    bool header_pending_ = true;
};

}  // namespace skelvar
