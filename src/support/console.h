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
void percent_line(std::uint64_t current, std::uint64_t total);
// Writes the long erase sequence.
void erase_progress();

}  // namespace skelvar::console
