// FILETIME values to date and time text in the patterns chosen on the command line.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace skelvar {

// FILETIME counts 100-ns ticks.
constexpr std::uint64_t ticks_per_second = 10'000'000;
constexpr std::uint64_t ticks_per_day = ticks_per_second * 86'400;
constexpr std::int64_t seconds_1601_to_1970 = 11'644'473'600;

// Compiled form of the date and time patterns. The defaults are the compiled
// default patterns "yyyy-mm-dd" and "hh:mm:ss.xxx".
struct date_time_format {
    char separator = '-';  // 0 = none
    bool numeric_month = true;
    bool month_name = false;
    bool four_digit_year = true;
    bool two_digit_year = false;
    bool comma = false;
    bool order_dmy = false;
    bool order_mdy = false;
    bool order_ymd = true;
    bool pair = false;
    std::uint8_t fraction_digits = 3;
    std::uint16_t year_low = 1900;
    std::uint16_t year_high = 2600;
};

struct broken_down_time {
    std::uint16_t year = 0, month = 0, day_of_week = 0, day = 0;
    std::uint16_t hour = 0, minute = 0, second = 0, millisecond = 0;
    std::uint64_t microseconds = 0;  // within the second
    std::uint64_t nanoseconds = 0;   // within the second
    bool valid = false;
};

// Pattern validity as the option parser checks it (length rules).
bool valid_date_pattern(std::string_view pattern);
bool valid_time_pattern(std::string_view pattern);

// Compiles both patterns; false when the date pattern yields no month or year.
bool compile_date_time_format(std::string_view date_pattern, std::string_view time_pattern, bool pair,
                              date_time_format& out);

broken_down_time to_broken_down_time(std::uint64_t filetime);

// Both texts are cleared, then filled; both stay empty when the time is invalid.
void format_date_time(const broken_down_time& t, const date_time_format& f, std::string& date,
                      std::string& time);

// Appends date and time text of a FILETIME; returns false (appending nothing) when invalid.
bool append_date(std::uint64_t filetime, const date_time_format& f, std::string& out);
bool append_time(std::uint64_t filetime, const date_time_format& f, std::string& out);
// The same texts into a caller's buffer (at least max_date_text / max_time_text bytes);
// return the length, 0 when the time is invalid.
constexpr std::size_t max_date_text = 16;
constexpr std::size_t max_time_text = 20;
std::size_t put_date_text(std::uint64_t filetime, const date_time_format& f, char* out);
std::size_t put_time_text(std::uint64_t filetime, const date_time_format& f, char* out);
// The pair form: date text, a space, time text.
bool append_date_time(std::uint64_t filetime, const date_time_format& f, std::string& out);

// "00" to "99": two digits in one copy instead of a division and two stores each.
inline constexpr std::array<char, 200> two_digit_table = [] {
    std::array<char, 200> t{};
    for (std::size_t i = 0; i < 100; ++i) {
        t[2 * i] = static_cast<char>('0' + i / 10);
        t[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return t;
}();

// The validity rule of to_broken_down_time without the calendar work.
bool filetime_in_valid_range(std::uint64_t filetime);
// The same rule as a range of FILETIMEs: [first, end).
struct filetime_range {
    std::uint64_t first = 0, end = 0;
};
filetime_range valid_filetime_range();

// FILETIME from calendar fields (UTC, no zone); 0 when the fields are out of range.
std::uint64_t filetime_from_fields(int year, int month, int day, int hour, int minute, int second);

// Seconds since 1970-01-01 for the body file; 0 stays 0. Inline: eight per body-file entry.
inline std::int64_t filetime_to_unix_seconds(std::uint64_t filetime) {
    // Truncated towards zero on both sides of 1970, as body-file readers expect.
    constexpr std::uint64_t epoch = static_cast<std::uint64_t>(seconds_1601_to_1970) * ticks_per_second;
    if (filetime == 0) return 0;
    if (filetime >= epoch) return static_cast<std::int64_t>((filetime - epoch) / ticks_per_second);
    return -static_cast<std::int64_t>((epoch - filetime) / ticks_per_second);
}

}  // namespace skelvar
