#include "support/diag_log.h"

#include <cstdarg>
#include <cstring>
#include <vector>

namespace skelvar {

namespace {

// "->" + text + LF (unless the text brings its own), flushed so the log
// survives a crash of the run.
void write_line(std::FILE* f, const char* text, std::size_t len) {
    std::fputs("->", f);
    std::fwrite(text, 1, len, f);
    if (len == 0 || text[len - 1] != '\n') std::fputc('\n', f);
    std::fflush(f);
}

}  // namespace

diag_log::~diag_log() { close(); }

bool diag_log::open(const std::string& path, const std::string& command_line) {
    close();
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        path_.clear();
        return false;
    }
    path_ = path;
    write_line(file_, command_line.data(), command_line.size());
    return true;
}

void diag_log::close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

void diag_log::line(const char* format, ...) {
    if (!file_) return;
    // Most lines fit on the stack; longer ones are sized from the first attempt.
    char small[1024];
    va_list ap;
    va_start(ap, format);
    va_list again;
    va_copy(again, ap);
    const int n = std::vsnprintf(small, sizeof small, format, ap);
    va_end(ap);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
        write_line(file_, small, static_cast<std::size_t>(n));
    } else if (n >= 0) {
        std::vector<char> big(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, again);
        write_line(file_, big.data(), static_cast<std::size_t>(n));
    }
    va_end(again);
}

void diag_log::text(const std::string& text) {
    if (!file_) return;
    write_line(file_, text.data(), text.size());
}

}  // namespace skelvar
