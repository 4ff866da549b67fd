#include "report/date_time.h"

#include <gtest/gtest.h>

#include <random>

using namespace skelvar;

namespace {

constexpr std::uint64_t y2k_plus = 125911584001234567ULL;  // 2000-01-01 00:00:00 + 1,234,567 ticks
constexpr std::uint64_t tick_day = 864'000'000'000ULL;

date_time_format compiled(std::string_view date, std::string_view time) {
    date_time_format f;
    compile_date_time_format(date, time, false, f);
    return f;
}

std::string date_of(std::uint64_t ft, const date_time_format& f) {
    std::string s;
    append_date(ft, f, s);
    return s;
}

std::string time_of(std::uint64_t ft, const date_time_format& f) {
    std::string s;
    append_time(ft, f, s);
    return s;
}

}  // namespace

TEST(DateTime, DefaultPatternsCompileToTheDefaultFormat) {
    for (const date_time_format& f : {compiled("yyyy-mm-dd", "hh:mm:ss.xxx"), date_time_format{}}) {
        std::string date, time, pair;
        format_date_time(to_broken_down_time(y2k_plus), f, date, time);
        EXPECT_EQ(date + " " + time, "2000-01-01 00:00:00.123");
        EXPECT_TRUE(append_date_time(y2k_plus, f, pair));
        EXPECT_EQ(pair, "2000-01-01 00:00:00.123");
    }
}

TEST(DateTime, FractionDigitsBothPaths) {
    const char* expected[10] = {"",         ".1",       ".12",       ".123",       ".1234",
                                ".12345",   ".123456",  ".1234567",  ".12345670", ".123456700"};
    for (int n = 0; n <= 9; ++n) {
        const std::string pattern = n < 3 ? "hh:mm:ss" : "hh:mm:ss." + std::string(n, 'x');
        date_time_format f = compiled("yyyy-mm-dd", pattern);
        if (n < 3) f.fraction_digits = static_cast<std::uint8_t>(n);  // below "xxx" only settable directly
        std::string date, time;
        format_date_time(to_broken_down_time(y2k_plus), f, date, time);
        EXPECT_EQ(time, std::string("00:00:00") + expected[n]) << n;
        EXPECT_EQ(time_of(y2k_plus, f), time) << n;
    }
    // Leading zeros of the fraction are kept.
    EXPECT_EQ(time_of(125911584000000042ULL, compiled("yyyy-mm-dd", "hh:mm:ss.xxxxxxx")), "00:00:00.0000042");
    EXPECT_EQ(compiled("yyyy-mm-dd", "hh:mm:ss.xxxxxxxxxxxxx").fraction_digits, 9);
}

TEST(DateTime, DatePatterns) {
    const std::uint64_t ft = filetime_from_fields(2024, 3, 7, 13, 4, 5);
    date_time_format f;
    EXPECT_TRUE(compile_date_time_format("mm/dd/yy", "hh:mm:ss", false, f));
    EXPECT_EQ(date_of(y2k_plus, f), "01/01/2000");
    EXPECT_EQ(time_of(ft, f), "13:04:05");

    EXPECT_EQ(date_of(ft, compiled("dd/mm/yyyy", "")), "07/03/2024");
    EXPECT_EQ(date_of(ft, compiled("yyyymmdd", "")), "20240307");
    EXPECT_EQ(date_of(ft, compiled("dd mm yyyy", "")), "07 03 2024");
    EXPECT_EQ(date_of(ft, compiled("mmm dd, yy", "")), "Mar 07 2024");
    EXPECT_EQ(date_of(ft, compiled("dd-mmm-yyyy", "")), "07-Mar-2024");

    // Month name in year-month-day order, or no day field: no order, empty date.
    EXPECT_TRUE(valid_date_pattern("yyyy/mmm/d"));
    EXPECT_TRUE(compile_date_time_format("yyyy/mmm/d", "hh:mm:ss", false, f));
    std::string s;
    EXPECT_TRUE(append_date(ft, f, s));
    EXPECT_EQ(s, "");
    EXPECT_EQ(date_of(ft, compiled("yyyy-mmm-dd", "")), "");

    // No month or no year: compilation fails and dates stay empty.
    EXPECT_FALSE(compile_date_time_format("dd-yyyy-", "hh:mm:ss", false, f));
    EXPECT_EQ(date_of(ft, f), "");
    EXPECT_FALSE(compile_date_time_format("dd-mm-xx", "hh:mm:ss", false, f));
    EXPECT_EQ(date_of(ft, f), "");
}

TEST(DateTime, PatternLengthRules) {
    EXPECT_TRUE(valid_date_pattern("mm/dd/yy"));
    EXPECT_FALSE(valid_date_pattern("dd-mmm-yyyy"));
    EXPECT_FALSE(valid_date_pattern("yyyymmd"));
    EXPECT_TRUE(valid_time_pattern("hh:mm:ss"));
    EXPECT_TRUE(valid_time_pattern("hh:mm:ss.xxxxxxxxx"));
    EXPECT_FALSE(valid_time_pattern("hh:mm:ss.xxxxxxxxxx"));
    EXPECT_FALSE(valid_time_pattern("hhmmss.xxxxx"));
}

TEST(DateTime, ValidityBounds) {
    const date_time_format f;
    std::string date = "old", time = "old";
    format_date_time(to_broken_down_time(0), f, date, time);
    EXPECT_EQ(date + time, "");

    const std::uint64_t first = filetime_from_fields(1900, 1, 1, 0, 0, 0);
    const std::uint64_t end = filetime_from_fields(3001, 1, 1, 0, 0, 0);
    const std::uint64_t invalid[] = {0, first - 1, end, 1ULL << 63, ~0ULL, y2k_plus | (1ULL << 63)};
    for (std::uint64_t ft : invalid) {
        EXPECT_FALSE(filetime_in_valid_range(ft)) << ft;
        std::string s;
        EXPECT_FALSE(append_date(ft, f, s));
        EXPECT_FALSE(append_time(ft, f, s));
        EXPECT_FALSE(append_date_time(ft, f, s));
        EXPECT_EQ(s, "");
    }
    EXPECT_EQ(to_broken_down_time(first - 1).year, 1899);
    EXPECT_EQ(date_of(first, f), "1900-01-01");
    EXPECT_EQ(date_of(end - 1, f) + " " + time_of(end - 1, f), "3000-12-31 23:59:59.999");
}

TEST(DateTime, FieldsAreCheckedAndUnixSecondsSigned) {
    EXPECT_EQ(filetime_from_fields(2000, 1, 1, 0, 0, 0), 125911584000000000ULL);
    EXPECT_NE(filetime_from_fields(2400, 2, 29, 0, 0, 0), 0u);
    const int bad[][6] = {{1600, 12, 31, 0, 0, 0}, {2000, 13, 1, 0, 0, 0}, {2000, 4, 31, 0, 0, 0},
                          {2100, 2, 29, 0, 0, 0},  {1900, 2, 29, 0, 0, 0}, {2000, 1, 1, 24, 0, 0},
                          {2000, 1, 1, 0, 0, -1},  {30828, 1, 1, 0, 0, 0}};
    for (const auto& b : bad) EXPECT_EQ(filetime_from_fields(b[0], b[1], b[2], b[3], b[4], b[5]), 0u) << b[0];
    EXPECT_LT(filetime_from_fields(30827, 12, 31, 23, 59, 59), 1ULL << 63);

    EXPECT_EQ(filetime_to_unix_seconds(0), 0);
    EXPECT_EQ(filetime_to_unix_seconds(filetime_from_fields(1970, 1, 1, 0, 0, 0)), 0);
    EXPECT_EQ(filetime_to_unix_seconds(y2k_plus), 946684800);
    EXPECT_EQ(filetime_to_unix_seconds(filetime_from_fields(1969, 12, 31, 23, 59, 59)), -1);
}

// Every day from 1601 to 9999 against a day-by-day reference calendar, each
// with a random time of day and the fields converted back.
TEST(DateTime, CalendarMatchesReferenceWalk) {
    std::mt19937_64 rng(20240307);
    int y = 1601, m = 1, d = 1;
    const auto month_len = [](int year, int month) {
        static const int len[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return month == 2 && leap ? 29 : len[month - 1];
    };
    for (std::uint64_t day = 0; y < 10000; ++day) {
        const std::uint64_t tod = rng() % tick_day;
        const broken_down_time t = to_broken_down_time(day * tick_day + tod + (day == 0 ? 1 : 0));
        ASSERT_EQ(t.year, y) << day;
        ASSERT_EQ(t.month, m) << day;
        ASSERT_EQ(t.day, d) << day;
        ASSERT_EQ(t.day_of_week, (day + 1) % 7);
        ASSERT_EQ(t.valid, y >= 1900 && y <= 3000);
        const std::uint64_t secs = tod / 10'000'000;
        ASSERT_EQ(t.hour * 3600u + t.minute * 60u + t.second, day == 0 ? (tod + 1) / 10'000'000 : secs);
        ASSERT_EQ(filetime_from_fields(y, m, d, t.hour, t.minute, t.second), day * tick_day + secs * 10'000'000)
            << day;
        if (++d > month_len(y, m)) {
            d = 1;
            if (++m > 12) {
                m = 1;
                ++y;
            }
        }
    }
}

TEST(DateTime, ArbitraryValuesStayInRange) {
    std::mt19937_64 rng(7);
    const date_time_format f = compiled("dd-mmm-yyyy", "hh:mm:ss.xxxxxxxxx");
    for (int i = 0; i < 100000; ++i) {
        const std::uint64_t ft = rng() >> (rng() % 64);
        const broken_down_time t = to_broken_down_time(ft);
        std::string s;
        const bool ok = append_date_time(ft, f, s);
        ASSERT_EQ(ok, t.valid);
        if (ft == 0 || (ft >> 63)) continue;
        ASSERT_TRUE(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour < 24);
        if (ok) {
            ASSERT_EQ(s.size(), 11u + 1 + 18);
        }
    }
}
