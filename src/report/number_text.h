// Number to text without allocation: the writers append straight into their line buffers.
#pragma once

#include <bit>
#include <charconv>
#include <cstdint>
#include <string>

namespace skelvar {

// Hexadecimal digits `v` needs (at least one).
inline unsigned hex_digit_count(std::uint64_t v) {
    const unsigned bits = static_cast<unsigned>(std::bit_width(v));
    return bits ? (bits + 3) / 4 : 1;
}

// The lowest `count` lower-case hexadecimal digits of `v` into out[0, count), written in place.
inline void put_hex_digits(char* out, std::uint64_t v, unsigned count) {
    for (unsigned i = count; i > 0; --i) {
        out[i - 1] = "0123456789abcdef"[v & 0xF];
        v >>= 4;
    }
}

// Lower-case hexadecimal digits, zero-filled to at least `min_digits` (no "0x").
inline void append_hex(std::string& out, std::uint64_t v, unsigned min_digits) {
    unsigned n = hex_digit_count(v);
    if (min_digits > 16) {
        if (min_digits > n) out.append(min_digits - n, '0');
    } else if (min_digits > n) {
        n = min_digits;
    }
    char buf[16];
    put_hex_digits(buf, v, n);
    out.append(buf, n);
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
