// JSON text pieces for the JSON-lines layout: strings that stay valid UTF-8 whatever a name holds,
// and times as ISO 8601 text and as microseconds since 1970.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace skelvar {

// The body of a JSON string (no quotes). '"', '\' and control characters are escaped; half a
// surrogate pair is written as its \uXXXX escape, so the exact UTF-16 name reads back.
void append_json_chars(std::u16string_view text, std::string& out);
// The same from UTF-8 as the UTF-8 writer makes it: a surrogate it encoded alone (ED A0..BF xx) is
// written as its \uXXXX escape, any other invalid byte as \ufffd.
void append_json_chars(std::string_view utf8, std::string& out);

template <class Text>
void append_json_string(Text text, std::string& out) {
    out += '"';
    append_json_chars(text, out);
    out += '"';
}

// "2024-03-01T10:22:33.1234567Z": every FILETIME has a date, 1601-01-01 for 0.
void append_iso_date_time(std::uint64_t filetime, std::string& out);
// Microseconds since 1970-01-01 UTC, rounded down (negative before 1970).
std::int64_t unix_microseconds(std::uint64_t filetime);

}  // namespace skelvar
