#include "ntfs/name_case.h"

#include <cstdint>

namespace skelvar {

namespace {

// Lower case `lower_first..lower_last` maps to upper case by subtracting `delta`.
struct shifted_range {
    char16_t lower_first, lower_last;
    std::uint16_t delta;
};

// Upper and lower case alternate inside `first..last`; `upper_even` tells which
// parity holds the capital letter.
struct paired_range {
    char16_t first, last;
    bool upper_even;
};

constexpr shifted_range shifted[] = {
    {0x00E0, 0x00FE, 0x20},  // Latin-1 (0xF7 division sign excluded below)
    {0x03B1, 0x03C1, 0x20},  // Greek
    {0x03C3, 0x03CB, 0x20},
    {0x03AD, 0x03AF, 0x25},  // έ ή ί
    {0x03CD, 0x03CE, 0x3F},  // ύ ώ
    {0x0430, 0x044F, 0x20},  // Cyrillic
    {0x0450, 0x045F, 0x50},
    {0x0561, 0x0586, 0x30},  // Armenian
    {0x2170, 0x217F, 0x10},  // Roman numerals
    {0x24D0, 0x24E9, 0x1A},  // circled letters
    {0xFF41, 0xFF5A, 0x20},  // full-width Latin
};

constexpr paired_range paired[] = {
    {0x0100, 0x012F, true},  {0x0132, 0x0137, true},  {0x0139, 0x0148, false}, {0x014A, 0x0177, true},
    {0x0179, 0x017E, false}, {0x01CD, 0x01DC, false}, {0x01DE, 0x01EF, true},  {0x01F8, 0x021F, true},
    {0x0222, 0x0233, true},  {0x03D8, 0x03EF, true},  {0x0460, 0x0481, true},  {0x048A, 0x04BF, true},
    {0x04C1, 0x04CE, false}, {0x04D0, 0x052F, true},  {0x1E00, 0x1E95, true},  {0x1EA0, 0x1EFF, true},
};

// Single pairs outside the ranges above.
struct single_pair {
    char16_t lower, upper;
};
constexpr single_pair singles[] = {
    {0x00FF, 0x0178},  // ÿ Ÿ
    {0x03AC, 0x0386},  // ά Ά
    {0x03CC, 0x038C},  // ό Ό
    {0x04CF, 0x04C0},  // ӏ Ӏ
};

bool is_excluded(char16_t lower) { return lower == 0x00F7; }

}  // namespace

char16_t upcase_unit(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
    if (c == 0x03C2) return 0x03A3;  // final sigma
    for (const shifted_range& r : shifted)
        if (c >= r.lower_first && c <= r.lower_last && !is_excluded(c)) return static_cast<char16_t>(c - r.delta);
    for (const paired_range& r : paired)
        if (c >= r.first && c <= r.last) {
            const bool even = (c & 1) == 0;
            return even == r.upper_even ? c : static_cast<char16_t>(r.upper_even ? c - 1 : c + 1);
        }
    for (const single_pair& p : singles)
        if (c == p.lower) return p.upper;
    return c;
}

char16_t downcase_unit(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
    for (const shifted_range& r : shifted) {
        const char16_t lower = static_cast<char16_t>(c + r.delta);
        if (c >= r.lower_first - r.delta && c <= r.lower_last - r.delta && !is_excluded(lower)) return lower;
    }
    for (const paired_range& r : paired)
        if (c >= r.first && c <= r.last) {
            const bool even = (c & 1) == 0;
            if (even != r.upper_even) return c;
            const char16_t lower = static_cast<char16_t>(c + 1);
            return lower <= r.last ? lower : c;
        }
    for (const single_pair& p : singles)
        if (c == p.upper) return p.lower;
    return c;
}

std::u16string upcase(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) c = upcase_unit(c);
    return out;
}

std::u16string downcase(std::u16string_view s) {
    std::u16string out;
    downcase_into(s, out);
    return out;
}

void downcase_into(std::u16string_view s, std::u16string& out) {
    out.assign(s);
    for (char16_t& c : out) c = downcase_unit(c);
}

bool equal_ignoring_case(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && upcase_unit(a[i]) != upcase_unit(b[i])) return false;
    return true;
}

}  // namespace skelvar
