#include "report/line_sink.h"

#include "support/uni_stream.h"

namespace skelvar {

line_sink::line_sink(std::ostream& out) : out_(out), file_(dynamic_cast<uni::file_out_buf*>(out.rdbuf())) {}

void line_sink::refill(std::size_t n) {
    const std::size_t need = n + short_text::capacity;
    const bool fits = need <= uni::file_out_buf::size;
    if (in_place_) {
        file_->commit(at_);
        in_place_ = false;
        at_ = end_ = nullptr;
    }
    // A line longer than the file's buffer, or a failed write, leaves the entry's remaining
    // lines to the line buffer.
    if (at_ == nullptr && file_ && fits && out_.good()) {
        if (char* room = file_->room(need)) {
            in_place_ = true;
            at_ = room;
            end_ = file_->room_end();
            return;
        }
        out_.setstate(std::ios::badbit);
    }
    const std::size_t used = at_ ? static_cast<std::size_t>(at_ - lines_.data()) : 0;
    lines_.resize(used);
    lines_.make_room(n);
    at_ = lines_.data() + used;
    end_ = at_ + need;
}

void line_sink::finish() {
    if (in_place_) {
        file_->commit(at_);
    } else if (at_ != nullptr) {
        const auto n = static_cast<std::streamsize>(at_ - lines_.data());
        if (n != 0 && out_.good() && out_.rdbuf()->sputn(lines_.data(), n) != n) out_.setstate(std::ios::badbit);
    }
    in_place_ = false;
    at_ = end_ = nullptr;
}

}  // namespace skelvar
