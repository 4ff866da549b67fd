// Human-facing text on standard error: messages, the self-erasing progress
// line, the percentage display. Results never go through here.
#pragma once

#include <cstdint>
#include <string>

namespace skelvar::console {

// ESC[2K CR, four spaces, CR: prefix of every status and percentage line.
extern const char line_erase_prefix[];
// ESC[2K CR, 27 spaces, CR: written before a message and at exit.
extern const char long_erase[];

// printf-style text to standard error.
void message(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Long erase first, then the message (at most 4096 characters).
void message_erase(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Status line "analyzing entry %llu of %llu": cut to 60 characters, LFs
// removed, written as prefix + text + CR. Returns the length used.
int status_line(const char* format, std::uint64_t a, std::uint64_t b);
// "percent done: N" every 5 % of the total (every call when the step is 0).
// The state is process-wide and set on the first call with a non-zero step.
void percent_line(std::uint64_t current, std::uint64_t total);

// Text of a status line as status_line writes it (after the prefix); returns its length.
int format_status_text(char (&buf)[256], const char* format, std::uint64_t a, std::uint64_t b);

// The state behind percent_line, separate so it can be driven on its own.
struct percent_state {
    std::uint64_t step = 0;       // 0 = not yet set
    std::uint64_t threshold = 0;
    // Fills `text` with "percent done: N" when a line is due and returns its
    // length; returns 0 (text empty) otherwise.
    int next(std::uint64_t current, std::uint64_t total, char (&text)[41]);
};
// Writes the long erase sequence.
void erase_progress();

}  // namespace skelvar::console
