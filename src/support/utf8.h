// UTF-16 (NTFS names) to UTF-8 (everything written), and back for host text.
#pragma once

#include <string>
#include <string_view>

namespace uni {

// Appends the UTF-8 form of `in` to `out`. A high surrogate not followed by a
// low one stops the conversion: what came before is kept and false returned.
// A lone low surrogate is encoded as a code point by itself.
bool append_utf8(std::u16string_view in, std::string& out);

// Convenience form; `ok` (when given) receives the result of append_utf8.
std::string to_utf8(std::u16string_view in, bool* ok = nullptr);

// UTF-8 host text to UTF-16 (invalid bytes become U+FFFD).
std::u16string to_utf16(std::string_view in);

// ASCII-only lower casing, as option matching uses.
std::string ascii_lower(std::string_view in);

}  // namespace uni
