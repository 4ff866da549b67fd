#include "support/utf8.h"

#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace uni {

namespace {

// Writes one code point at p and returns the position after it.
inline char* put_code_point(char* p, std::uint32_t cp) {
    if (cp < 0x80) {
        *p++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *p++ = static_cast<char>(0xC0 | (cp >> 6));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (cp >> 12));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | (cp >> 18));
        *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return p;
}

#if defined(__SSE2__)
inline __m128i load8(const char16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
#endif

bool is_ascii(std::u16string_view in) {
    const char16_t* p = in.data();
    const std::size_t n = in.size();
#if defined(__SSE2__)
    // Eight units a step; the last block overlaps the one before it. A name is a few dozen
    // units, where a compiled loop spends more on its tail than on its body.
    if (n >= 8) {
        __m128i any = load8(p + n - 8);
        for (std::size_t i = 0; i + 8 <= n; i += 8) any = _mm_or_si128(any, load8(p + i));
        return _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(any, _mm_set1_epi16(-0x80)), _mm_setzero_si128())) ==
               0xFFFF;
    }
#endif
    char16_t any = 0;
    for (std::size_t i = 0; i < n; ++i) any |= p[i];
    return any < 0x80;
}

// ASCII units to bytes at `out` (in.size() bytes).
inline void narrow_ascii(std::u16string_view in, char* out) {
    const char16_t* p = in.data();
    const std::size_t n = in.size();
#if defined(__SSE2__)
    if (n >= 8) {
        auto put = [&](std::size_t i) {
            const __m128i v = load8(p + i);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(v, v));
        };
        for (std::size_t i = 0; i + 8 <= n; i += 8) put(i);
        put(n - 8);
        return;
    }
#endif
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<char>(p[i]);
}

inline bool is_high_surrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool is_low_surrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

bool append_utf8(std::u16string_view in, std::string& out) {
    if (in.empty()) return true;
    // Names are nearly always ASCII: then each unit is one byte, and the output is sized exactly.
    if (is_ascii(in)) {
        const std::size_t start = out.size();
        out.resize(start + in.size());
        narrow_ascii(in, out.data() + start);
        return true;
    }
    // One unit never needs more than 3 bytes (a pair of units makes 4), so size
    // the output once for the worst case, write through a pointer and trim.
    const std::size_t start = out.size();
    out.resize(start + in.size() * 3);
    char* const base = out.data() + start;
    char* p = base;
    bool ok = true;
    const std::size_t n = in.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t u = in[i];
        if (u < 0x80) {
            *p++ = static_cast<char>(u);
            continue;
        }
        if (is_high_surrogate(u)) {
            if (i + 1 >= n || !is_low_surrogate(in[i + 1])) {
                ok = false;
                break;
            }
            const std::uint32_t cp =
                ((static_cast<std::uint32_t>(u) - 0xD800) << 10) + (static_cast<std::uint32_t>(in[i + 1]) - 0xDC00) +
                0x10000;
            p = put_code_point(p, cp);
            ++i;
            continue;
        }
        p = put_code_point(p, u);
    }
    out.resize(start + static_cast<std::size_t>(p - base));
    return ok;
}

std::string to_utf8(std::u16string_view in, bool* ok) {
    std::string out;
    out.reserve(in.size() + 256);
    const bool r = append_utf8(in, out);
    if (ok) *ok = r;
    return out;
}

std::u16string to_utf16(std::string_view in) {
    std::u16string out;
    out.reserve(in.size());
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(in[i]); };
    const std::size_t n = in.size();
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t b0 = byte(i);
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        // Length and the allowed range of the second byte, which rules out
        // overlong forms, encoded surrogates and values above U+10FFFF.
        std::size_t len = 0;
        std::uint8_t lo = 0x80, hi = 0xBF;
        std::uint32_t cp = 0;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2;
            cp = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3;
            cp = b0 & 0x0F;
            if (b0 == 0xE0) lo = 0xA0;
            if (b0 == 0xED) hi = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4;
            cp = b0 & 0x07;
            if (b0 == 0xF0) lo = 0x90;
            if (b0 == 0xF4) hi = 0x8F;
        }
        if (len == 0) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        // A broken sequence becomes one U+FFFD for its valid leading part.
        std::size_t k = 1;
        for (; k < len && i + k < n; ++k) {
            const std::uint8_t b = byte(i + k);
            const std::uint8_t min = (k == 1) ? lo : 0x80;
            const std::uint8_t max = (k == 1) ? hi : 0xBF;
            if (b < min || b > max) break;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (k < len) {
            out.push_back(u'\uFFFD');
            i += k;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string ascii_lower(std::string_view in) {
    std::string out(in);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

}  // namespace uni
