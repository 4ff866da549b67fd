#include "report/date_time.h"

#include <array>
#include <cstring>

namespace skelvar {

namespace {

// Days from 0000-03-01 (the start of the shifted calendar below) to 1601-01-01.
constexpr std::uint64_t days_0000_03_01_to_1601 = 584'694;

struct civil_date {
    std::uint32_t year, month, day;
};

// Days since 1601-01-01 of a proleptic Gregorian date (year >= 1601). The year
// is counted from March so that the leap day falls at its end.
constexpr std::uint64_t days_from_civil(std::uint32_t y, std::uint32_t m, std::uint32_t d) {
    y -= (m <= 2) ? 1 : 0;
    const std::uint64_t era = y / 400;
    const std::uint64_t yoe = y - era * 400;
    const std::uint64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::uint64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146'097 + doe - days_0000_03_01_to_1601;
}

// Inverse of days_from_civil, constant time (no loop over years).
constexpr civil_date civil_from_days(std::uint64_t days_since_1601) {
    const std::uint64_t z = days_since_1601 + days_0000_03_01_to_1601;
    const std::uint64_t era = z / 146'097;
    const std::uint64_t doe = z - era * 146'097;
    const std::uint64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    const std::uint64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::uint64_t mp = (5 * doy + 2) / 153;
    const std::uint32_t d = static_cast<std::uint32_t>(doy - (153 * mp + 2) / 5 + 1);
    const std::uint32_t m = static_cast<std::uint32_t>(mp < 10 ? mp + 3 : mp - 9);
    const std::uint32_t y = static_cast<std::uint32_t>(yoe + era * 400 + (m <= 2 ? 1 : 0));
    return {y, m, d};
}

static_assert(days_from_civil(1601, 1, 1) == 0);
static_assert(days_from_civil(1970, 1, 1) * 86'400 == seconds_1601_to_1970);

constexpr std::uint64_t first_valid_tick = days_from_civil(1900, 1, 1) * ticks_per_day;
constexpr std::uint64_t end_valid_tick = days_from_civil(3001, 1, 1) * ticks_per_day;

constexpr char month_names[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

constexpr std::uint32_t pow10_table[10] = {1,      10,      100,      1'000,      10'000,
                                           100'000, 1'000'000, 10'000'000, 100'000'000, 1'000'000'000};

bool is_leap(std::uint32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

std::uint32_t days_in_month(std::uint32_t y, std::uint32_t m) {
    static constexpr std::uint8_t days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (m == 2 && is_leap(y)) ? 29 : days[m - 1];
}

inline char* put2(char* p, std::uint32_t v) {
    std::memcpy(p, &two_digit_table[2 * (v % 100)], 2);
    return p + 2;
}

// Exactly `width` digits of v (v is already below 10^width).
inline char* put_fixed(char* p, std::uint32_t v, unsigned width) {
    if (width == 3) {  // milliseconds, the default: constant divisors only
        p[0] = static_cast<char>('0' + v / 100 % 10);
        return put2(p + 1, v % 100);
    }
    if (width == 4) return put2(put2(p, v / 100 % 100), v % 100);
    for (unsigned i = width; i > 0; --i) {
        p[i - 1] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    return p + width;
}

// At least `min_width` digits, more when v needs them.
inline char* put_min_width(char* p, std::uint32_t v, unsigned min_width) {
    unsigned width = 1;
    while (width < 10 && v >= pow10_table[width]) ++width;
    return put_fixed(p, v, width < min_width ? min_width : width);
}

// The parts of a date in the pattern's order; returns p unchanged when the
// pattern has no usable order.
char* put_date(char* p, std::uint32_t year, std::uint32_t month, std::uint32_t day, const date_time_format& f) {
    const bool name = f.month_name;
    if (!name && !f.numeric_month) return p;
    if (!f.four_digit_year && !f.two_digit_year) return p;
    const unsigned year_width = f.four_digit_year ? 4 : 2;
    const auto put_month = [&](char* q) {
        if (name) {
            const char* s = month_names[(month - 1) % 12];
            q[0] = s[0];
            q[1] = s[1];
            q[2] = s[2];
            return q + 3;
        }
        return put2(q, month);
    };
    const auto sep = [&](char* q) {
        if (f.separator) *q++ = f.separator;
        return q;
    };
    if (f.order_mdy) {
        p = sep(put_month(p));
        p = sep(put2(p, day));
        p = put_min_width(p, year, year_width);
    } else if (f.order_dmy) {
        p = sep(put2(p, day));
        p = sep(put_month(p));
        p = put_min_width(p, year, year_width);
    } else if (f.order_ymd && !name) {
        p = sep(put_min_width(p, year, year_width));
        p = sep(put_month(p));
        p = put2(p, day);
    }
    return p;
}

inline unsigned clamp_fraction(const date_time_format& f) { return f.fraction_digits > 9 ? 9 : f.fraction_digits; }

// hh:mm:ss and, when asked for, '.' and `digits` digits of `fraction`.
char* put_time(char* p, std::uint32_t h, std::uint32_t m, std::uint32_t s, std::uint32_t fraction, unsigned digits) {
    p = put2(p, h);
    *p++ = ':';
    p = put2(p, m);
    *p++ = ':';
    p = put2(p, s);
    if (digits) {
        *p++ = '.';
        p = put_fixed(p, digits == 3 ? fraction % 1000 : fraction % pow10_table[digits], digits);
    }
    return p;
}

// The fraction of a second in `digits` digits from the 100-ns remainder.
inline std::uint32_t fraction_from_ticks(std::uint32_t ticks, unsigned digits) {
    if (digits == 3) return ticks / 10'000;  // the default, without a division by a table value
    if (digits <= 7) return ticks / pow10_table[7 - digits];
    return ticks * pow10_table[digits - 7];
}

// Longest date: 5-digit year + 3-letter month + day + two separators; longest time: 8 + 1 + 9.
constexpr std::size_t max_date_chars = max_date_text;
constexpr std::size_t max_time_chars = max_time_text;

}  // namespace

bool valid_date_pattern(std::string_view pattern) { return pattern.size() == 8 || pattern.size() == 10; }

bool valid_time_pattern(std::string_view pattern) {
    const std::size_t n = pattern.size();
    return (n == 8 || (n >= 12 && n <= 18)) && pattern.find(':') != std::string_view::npos;
}

bool compile_date_time_format(std::string_view date_pattern, std::string_view time_pattern, bool pair,
                              date_time_format& out) {
    date_time_format f;
    f.numeric_month = f.month_name = false;
    f.four_digit_year = f.two_digit_year = false;
    f.order_dmy = f.order_mdy = f.order_ymd = false;
    f.pair = pair;

    const std::size_t x = time_pattern.find("xxx");
    f.fraction_digits = 0;
    if (x != std::string_view::npos) {
        const std::size_t n = time_pattern.size() - x;
        f.fraction_digits = static_cast<std::uint8_t>(n > 9 ? 9 : n);
    }

    constexpr auto npos = std::string_view::npos;
    if (date_pattern.find('/') != npos) f.separator = '/';
    else if (date_pattern.find('-') != npos) f.separator = '-';
    else if (date_pattern.find(' ') != npos) f.separator = ' ';
    else f.separator = 0;
    f.comma = date_pattern.find(',') != npos;

    std::size_t month = date_pattern.find("mmm");
    if (month != npos) {
        f.month_name = true;
    } else {
        month = date_pattern.find("mm");
        if (month == npos) {
            out = f;
            return false;
        }
        f.numeric_month = true;
    }
    std::size_t year = date_pattern.find("yyyy");
    if (year != npos) {
        f.four_digit_year = true;
    } else {
        year = date_pattern.find("yy");
        if (year == npos) {
            out = f;
            return false;
        }
        f.two_digit_year = true;
    }
    const std::size_t day = date_pattern.find("dd");
    if (day != npos) {
        f.order_dmy = day < month && month < year;
        f.order_mdy = month < day && day < year;
        f.order_ymd = year < month && month < day;
    }
    out = f;
    return true;
}

bool filetime_in_valid_range(std::uint64_t filetime) {
    return filetime >= first_valid_tick && filetime < end_valid_tick;
}

filetime_range valid_filetime_range() { return {first_valid_tick, end_valid_tick}; }

broken_down_time to_broken_down_time(std::uint64_t filetime) {
    broken_down_time t;
    // Zero and top-bit values are invalid; the year bounds also exclude them.
    if (filetime == 0 || (filetime >> 63) != 0) return t;
    const std::uint64_t days = filetime / ticks_per_day;
    const std::uint64_t ticks_of_day = filetime % ticks_per_day;
    const std::uint64_t second_of_day = ticks_of_day / ticks_per_second;
    const std::uint64_t r = filetime % ticks_per_second;
    const civil_date c = civil_from_days(days);
    t.year = static_cast<std::uint16_t>(c.year);
    t.month = static_cast<std::uint16_t>(c.month);
    t.day = static_cast<std::uint16_t>(c.day);
    t.day_of_week = static_cast<std::uint16_t>((days + 1) % 7);
    t.hour = static_cast<std::uint16_t>(second_of_day / 3600);
    t.minute = static_cast<std::uint16_t>(second_of_day / 60 % 60);
    t.second = static_cast<std::uint16_t>(second_of_day % 60);
    t.millisecond = static_cast<std::uint16_t>(r / 10'000);
    t.microseconds = r / 10;
    t.nanoseconds = r * 100;
    t.valid = c.year >= 1900 && c.year <= 3000;
    return t;
}

void format_date_time(const broken_down_time& t, const date_time_format& f, std::string& date, std::string& time) {
    date.clear();
    time.clear();
    if (!t.valid) return;
    char buf[max_date_chars + max_time_chars];
    char* end = put_date(buf, t.year, t.month, t.day, f);
    date.assign(buf, end);

    const unsigned digits = clamp_fraction(f);
    std::uint64_t fraction = 0;
    switch (digits) {
        case 0: break;
        case 3: fraction = t.millisecond; break;
        case 6: fraction = t.microseconds; break;
        case 9: fraction = t.nanoseconds; break;
        case 7:
        case 8: fraction = t.nanoseconds / pow10_table[9 - digits]; break;
        default: fraction = t.microseconds / pow10_table[6 - digits]; break;
    }
    end = put_time(buf, t.hour, t.minute, t.second, static_cast<std::uint32_t>(fraction % pow10_table[9]), digits);
    time.assign(buf, end);
}

std::size_t put_date_text(std::uint64_t filetime, const date_time_format& f, char* out) {
    if (!filetime_in_valid_range(filetime)) return 0;
    const civil_date c = civil_from_days(filetime / ticks_per_day);
    return static_cast<std::size_t>(put_date(out, c.year, c.month, c.day, f) - out);
}

std::size_t put_time_text(std::uint64_t filetime, const date_time_format& f, char* out) {
    if (!filetime_in_valid_range(filetime)) return 0;
    const auto second_of_day = static_cast<std::uint32_t>(filetime % ticks_per_day / ticks_per_second);
    const auto ticks = static_cast<std::uint32_t>(filetime % ticks_per_second);
    const unsigned digits = clamp_fraction(f);
    return static_cast<std::size_t>(put_time(out, second_of_day / 3600, second_of_day / 60 % 60, second_of_day % 60,
                                             fraction_from_ticks(ticks, digits), digits) -
                                    out);
}

bool append_date(std::uint64_t filetime, const date_time_format& f, std::string& out) {
    if (!filetime_in_valid_range(filetime)) return false;
    char buf[max_date_chars];
    out.append(buf, put_date_text(filetime, f, buf));
    return true;
}

bool append_time(std::uint64_t filetime, const date_time_format& f, std::string& out) {
    if (!filetime_in_valid_range(filetime)) return false;
    char buf[max_time_chars];
    out.append(buf, put_time_text(filetime, f, buf));
    return true;
}

bool append_date_time(std::uint64_t filetime, const date_time_format& f, std::string& out) {
    if (!filetime_in_valid_range(filetime)) return false;
    append_date(filetime, f, out);
    out.push_back(' ');
    append_time(filetime, f, out);
    return true;
}

std::uint64_t filetime_from_fields(int year, int month, int day, int hour, int minute, int second) {
    // 30827 is the last whole year below the top-bit limit.
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1) return 0;
    if (static_cast<std::uint32_t>(day) > days_in_month(static_cast<std::uint32_t>(year), static_cast<std::uint32_t>(month)))
        return 0;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return 0;
    const std::uint64_t days = days_from_civil(static_cast<std::uint32_t>(year), static_cast<std::uint32_t>(month),
                                               static_cast<std::uint32_t>(day));
    const std::uint64_t seconds = static_cast<std::uint64_t>(hour) * 3600 + static_cast<std::uint64_t>(minute) * 60 +
                                  static_cast<std::uint64_t>(second);
    return days * ticks_per_day + seconds * ticks_per_second;
}

}  // namespace skelvar
