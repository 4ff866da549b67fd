// Number to text without allocation: the writers append straight into their line buffers.
#pragma once

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
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

// The eight lower-case hexadecimal digits of `v` as the bytes of a word, in text order when
// stored little-endian: all digits at once instead of a table look-up per digit.
inline std::uint64_t hex_digit_word(std::uint32_t v) {
    std::uint64_t x = v;
    x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
    x = (x | (x << 8)) & 0x00FF00FF00FF00FFull;
    x = (x | (x << 4)) & 0x0F0F0F0F0F0F0F0Full;  // nibble i in byte i
    x = __builtin_bswap64(x);
    const std::uint64_t letters = ((x + 0x0606060606060606ull) >> 4) & 0x0101010101010101ull;
    return x + 0x3030303030303030ull + letters * ('a' - '0' - 10);
}

// As put_hex_digits for 1 <= count <= 16, but it may overwrite the bytes up to out + 8 too:
// the caller keeps that room.
inline void put_hex_digits_wide(char* out, std::uint64_t v, unsigned count) {
    if constexpr (std::endian::native != std::endian::little) {
        put_hex_digits(out, v, count);
    } else {
        const std::uint64_t low = hex_digit_word(static_cast<std::uint32_t>(v));
        if (count <= 8) {
            const std::uint64_t w = low >> (8 * (8 - count));
            std::memcpy(out, &w, 8);
        } else {
            const std::uint64_t high = hex_digit_word(static_cast<std::uint32_t>(v >> 32)) >> (8 * (16 - count));
            std::memcpy(out, &high, 8);
            std::memcpy(out + count - 8, &low, 8);
        }
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
    char buf[24];  // the wide put's room
    put_hex_digits_wide(buf, v, n);
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
