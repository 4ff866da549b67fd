// Number to text without allocation: the writers append straight into their line buffers.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>

namespace skelvar {

// Lower-case hexadecimal digits, zero-filled to at least `min_digits` (no "0x").
inline void append_hex(std::string& out, std::uint64_t v, unsigned min_digits) {
    char buf[16];
    unsigned n = 0;
    do {
        buf[15 - n++] = "0123456789abcdef"[v & 0xF];
        v >>= 4;
    } while (v != 0);
    if (min_digits > n) out.append(min_digits - n, '0');
    out.append(buf + 16 - n, n);
}

inline void append_dec(std::string& out, std::uint64_t v) {
    char buf[20];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, static_cast<std::size_t>(r.ptr - buf));
}

// "0x" + at least `min_digits` hex digits, or plain decimal.
inline void append_number(std::string& out, std::uint64_t v, bool hex, unsigned min_digits) {
    if (hex) {
        out += "0x";
        append_hex(out, v, min_digits);
    } else {
        append_dec(out, v);
    }
}

}  // namespace skelvar
