#include "support/console.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace skelvar::console {

const char line_erase_prefix[] = "\x1b[2K\r    \r";
const char long_erase[] = "\x1b[2K\r                           \r";

namespace {

constexpr std::size_t max_message_chars = 4096;
constexpr std::size_t status_cut = 60;
constexpr std::size_t percent_cut = 40;

// Prefix, text and CR in one write so the line never shows half drawn.
void write_progress_line(const char* text, std::size_t len) {
    char buf[sizeof line_erase_prefix + 256 + 1];
    const std::size_t prefix = sizeof line_erase_prefix - 1;
    std::memcpy(buf, line_erase_prefix, prefix);
    std::memcpy(buf + prefix, text, len);
    buf[prefix + len] = '\r';
    std::fwrite(buf, 1, prefix + len + 1, stderr);
    std::fflush(stderr);
}

percent_state process_percent;

}  // namespace

void message(const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    std::vfprintf(stderr, format, ap);
    va_end(ap);
}

void message_erase(const char* format, ...) {
    std::fputs(long_erase, stderr);
    va_list ap;
    va_start(ap, format);
    va_list again;
    va_copy(again, ap);
    const int needed = std::vsnprintf(nullptr, 0, format, ap);
    va_end(ap);
    if (needed > 0) {
        const std::size_t size = static_cast<std::size_t>(needed) < max_message_chars
                                     ? static_cast<std::size_t>(needed) + 1
                                     : max_message_chars + 1;
        std::unique_ptr<char[]> buf(new char[size]);
        std::vsnprintf(buf.get(), size, format, again);
        std::fprintf(stderr, "%s", buf.get());
    }
    va_end(again);
}

int format_status_text(char (&buf)[256], const char* format, std::uint64_t a, std::uint64_t b) {
    int n = std::snprintf(buf, sizeof buf, format, static_cast<unsigned long long>(a),
                          static_cast<unsigned long long>(b));
    if (n < 0) n = 0;
    std::size_t len = static_cast<std::size_t>(n);
    if (len > sizeof buf - 1) len = sizeof buf - 1;
    if (len > status_cut) len = status_cut;
    std::size_t out = 0;
    for (std::size_t i = 0; i < len; ++i) {
        if (buf[i] != '\n') buf[out++] = buf[i];
    }
    buf[out] = '\0';
    return static_cast<int>(out);
}

int status_line(const char* format, std::uint64_t a, std::uint64_t b) {
    char buf[256];
    const int len = format_status_text(buf, format, a, b);
    write_progress_line(buf, static_cast<std::size_t>(len));
    return len;
}

int percent_state::next(std::uint64_t current, std::uint64_t total, char (&text)[41]) {
    text[0] = '\0';
    if (total == 0) return 0;
    if (step == 0) {
        step = static_cast<std::uint64_t>(static_cast<double>(total) * 0.05);
        threshold = step;
    }
    if (current < threshold) return 0;
    threshold += step;
    double pct = static_cast<double>(current) / static_cast<double>(total) * 100.0;
    if (pct > 1e18) pct = 1e18;  // keeps the conversion defined for a current far past the total
    int n = std::snprintf(text, sizeof text, "percent done: %llu", static_cast<unsigned long long>(pct));
    if (n < 0) n = 0;
    if (static_cast<std::size_t>(n) > percent_cut) n = static_cast<int>(percent_cut);
    text[n] = '\0';
    return n;
}

void percent_line(std::uint64_t current, std::uint64_t total) {
    char text[41];
    const int n = process_percent.next(current, total, text);
    if (n > 0) write_progress_line(text, static_cast<std::size_t>(n));
}

void erase_progress() {
    std::fputs(long_erase, stderr);
    std::fflush(stderr);
}

}  // namespace skelvar::console
