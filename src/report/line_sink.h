// Where a layout puts an entry's lines together.
#pragma once

#include <cstddef>
#include <cstring>
#include <ostream>
#include <string_view>

#include "report/line_buffer.h"

namespace uni {
class file_out_buf;
}

namespace skelvar {

// Where an entry's lines are put together: straight in the results file's buffer when the
// stream writes through one, so that each byte is copied once; otherwise in a line buffer
// that goes to the stream in one piece at the entry's end.
class line_sink {
public:
    explicit line_sink(std::ostream& out);
    line_sink(const line_sink&) = delete;
    line_sink& operator=(const line_sink&) = delete;

    // Room for `n` more bytes: call before the appends of a line with at least their total.
    void make_room(std::size_t n) {
        if (static_cast<std::size_t>(end_ - at_) < n + short_text::capacity) refill(n);
    }
    void append(std::string_view s) {
        std::memcpy(at_, s.data(), s.size());
        at_ += s.size();
    }
    void append(const short_text& t) {
        std::memcpy(at_, t.bytes.data(), short_text::capacity);
        at_ += t.length;
    }
    void append(const kept_text& k) {
        if (k.is_short) append(k.fixed);
        else append(std::string_view(k.text));
    }
    // See put(at, s, block).
    void append(std::string_view s, bool block) { at_ = put(at_, s, block); }
    // make_room handing out the place to write at: a caller that writes through it and gives the
    // end back with advance_to() keeps the cursor in a register across its pieces.
    char* cursor(std::size_t n) {
        make_room(n);
        return at_;
    }
    void advance_to(char* at) { at_ = at; }
    // Pieces written at a cursor (with the short block's room make_room keeps past them).
    static char* put(char* at, const kept_text& k) {
        if (k.is_short) {
            std::memcpy(at, k.fixed.bytes.data(), short_text::capacity);
            return at + k.fixed.length;
        }
        std::memcpy(at, k.text.data(), k.text.size());
        return at + k.text.size();
    }
    // `block`: the text's storage holds a short block's bytes from its start, so a short text
    // goes as one fixed-size copy instead of a copy of a run-time size.
    static char* put(char* at, std::string_view s, bool block) {
        if (block && s.size() <= short_text::capacity) std::memcpy(at, s.data(), short_text::capacity);
        else std::memcpy(at, s.data(), s.size());
        return at + s.size();
    }
    static char* put(char* at, const built_text& b) { return put(at, b.view(), true); }
    // The entry's lines are handed to the stream; no room is kept in its buffer across entries,
    // where others may write to the stream.
    void finish();

private:
    void refill(std::size_t n);

    std::ostream& out_;
    uni::file_out_buf* file_ = nullptr;  // the stream's buffer when it is a results file's
    bool in_place_ = false;  // at_ points into file_'s buffer
    char* at_ = nullptr;
    char* end_ = nullptr;
    line_buffer lines_;  // otherwise the lines are here, up to at_
};

}  // namespace skelvar
