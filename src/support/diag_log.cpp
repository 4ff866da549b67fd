#include "support/diag_log.h"

#include <cstdarg>
#include <cstring>
#include <vector>

namespace skelvar {

namespace {

// What is held in memory before the file is named; beyond it lines are dropped.
constexpr std::size_t max_held_bytes = 4u << 20;

bool ends_line(const char* text, std::size_t len) { return len != 0 && text[len - 1] == '\n'; }

}  // namespace

diag_log::~diag_log() { close(); }

// "->" + text + LF (unless the text brings its own), flushed so the log
// survives a crash of the run.
void diag_log::put(const char* text, std::size_t len) {
    if (file_) {
        std::fputs("->", file_);
        std::fwrite(text, 1, len, file_);
        if (!ends_line(text, len)) std::fputc('\n', file_);
        std::fflush(file_);
    } else if (holding_ && held_.size() < max_held_bytes) {
        held_ += "->";
        held_.append(text, len);
        if (!ends_line(text, len)) held_ += '\n';
    }
}

bool diag_log::open(const std::string& path, const std::string& command_line) {
    hold(command_line);
    return write_to(path);
}

void diag_log::hold(const std::string& command_line) {
    close();
    held_.clear();
    holding_ = true;
    put(command_line.data(), command_line.size());
}

bool diag_log::write_to(const std::string& path) {
    close();
    file_ = std::fopen(path.c_str(), "wb");
    holding_ = false;
    if (!file_) {
        path_.clear();
        held_.clear();
        return false;
    }
    path_ = path;
    std::fwrite(held_.data(), 1, held_.size(), file_);
    std::fflush(file_);
    held_.clear();
    held_.shrink_to_fit();
    return true;
}

void diag_log::close() {
    holding_ = false;
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

void diag_log::line(const char* format, ...) {
    if (!active()) return;
    // Most lines fit on the stack; longer ones are sized from the first attempt.
    char small[1024];
    va_list ap;
    va_start(ap, format);
    va_list again;
    va_copy(again, ap);
    const int n = std::vsnprintf(small, sizeof small, format, ap);
    va_end(ap);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
        put(small, static_cast<std::size_t>(n));
    } else if (n >= 0) {
        std::vector<char> big(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, again);
        put(big.data(), static_cast<std::size_t>(n));
    }
    va_end(again);
}

void diag_log::text(std::string_view text) {
    if (active()) put(text.data(), text.size());
}

}  // namespace skelvar
