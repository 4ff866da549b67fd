#include "report/json_text.h"

#include "report/date_time.h"
#include "report/number_text.h"

namespace skelvar {

namespace {

void append_escape(std::uint32_t unit, std::string& out) {
    out += "\\u";
    append_hex(out, unit, 4);
}

// True when the character needs an escape of its own; writes it.
bool escaped(std::uint32_t c, std::string& out) {
    switch (c) {
        case '"': out += "\\\""; return true;
        case '\\': out += "\\\\"; return true;
        case '\n': out += "\\n"; return true;
        case '\r': out += "\\r"; return true;
        case '\t': out += "\\t"; return true;
        default: break;
    }
    if (c < 0x20) {
        append_escape(c, out);
        return true;
    }
    return false;
}

void put_utf8(std::uint32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool is_surrogate(std::uint32_t u) { return u >= 0xD800 && u <= 0xDFFF; }

// Printable ASCII other than '"' and '\\': written as it stands.
bool plain(std::uint32_t c) { return c >= 0x20 && c < 0x80 && c != '"' && c != '\\'; }

constexpr std::int64_t unix_epoch_microseconds = 11'644'473'600'000'000;  // 1601 to 1970

void append_two(std::string& out, unsigned v) {
    out += static_cast<char>('0' + v / 10);
    out += static_cast<char>('0' + v % 10);
}

}  // namespace

void append_json_chars(std::u16string_view text, std::string& out) {
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t u = text[i];
        if (plain(u)) {
            out += static_cast<char>(u);
            continue;
        }
        if (escaped(u, out)) continue;
        if (!is_surrogate(u)) {
            put_utf8(u, out);
        } else if (u <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            put_utf8(0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00u), out);
            ++i;
        } else {
            append_escape(u, out);
        }
    }
}

void append_json_chars(std::string_view utf8, std::string& out) {
    const std::size_t n = utf8.size();
    const auto byte = [&](std::size_t i) { return i < n ? static_cast<std::uint8_t>(utf8[i]) : 0u; };
    const auto cont = [&](std::size_t i) { return (byte(i) & 0xC0) == 0x80; };
    std::size_t i = 0;
    while (i < n) {
        std::size_t run = i;
        while (run < n && plain(byte(run))) ++run;
        if (run > i) {
            out.append(utf8.substr(i, run - i));
            i = run;
            if (i == n) break;
        }
        const std::uint32_t b = byte(i);
        if (b < 0x80) {
            if (!escaped(b, out)) out += static_cast<char>(b);
            ++i;
            continue;
        }
        std::size_t len = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
        for (std::size_t k = 1; k < len; ++k)
            if (!cont(i + k)) len = 0;
        if (len == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        std::uint32_t cp = b & (0xFF >> (len + 1));
        for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (byte(i + k) & 0x3F);
        const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF));
        if (overlong) out += "\\ufffd";
        else if (is_surrogate(cp)) append_escape(cp, out);
        else out.append(utf8.substr(i, len));
        i += len;
    }
}

void append_iso_date_time(std::uint64_t filetime, std::string& out) {
    const std::uint64_t seconds = filetime / ticks_per_second;
    const std::uint64_t ticks = filetime % ticks_per_second;
    // Days since 0000-03-01 of the proleptic Gregorian calendar, then year, month and day from them.
    const std::uint64_t days = seconds / 86400 + 584694;  // 1601-01-01 is day 584694
    const std::uint64_t second_of_day = seconds % 86400;
    const std::uint64_t era = days / 146097, day_of_era = days % 146097;
    const std::uint64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::uint64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::uint64_t mp = (5 * day_of_year + 2) / 153;
    const unsigned day = static_cast<unsigned>(day_of_year - (153 * mp + 2) / 5 + 1);
    const unsigned month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    const std::uint64_t year = year_of_era + era * 400 + (month <= 2);

    append_dec(out, year);  // 1601 at least: four digits or more
    out += '-';
    append_two(out, month);
    out += '-';
    append_two(out, day);
    out += 'T';
    append_two(out, static_cast<unsigned>(second_of_day / 3600));
    out += ':';
    append_two(out, static_cast<unsigned>(second_of_day / 60 % 60));
    out += ':';
    append_two(out, static_cast<unsigned>(second_of_day % 60));
    out += '.';
    const std::size_t fraction = out.size();
    append_dec(out, ticks);
    out.insert(fraction, 7 - (out.size() - fraction), '0');
    out += 'Z';
}

std::int64_t unix_microseconds(std::uint64_t filetime) {
    return static_cast<std::int64_t>(filetime / 10) - unix_epoch_microseconds;
}

}  // namespace skelvar
