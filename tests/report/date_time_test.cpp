#include "report/date_time.h"

#include <gtest/gtest.h>

#include <random>

using namespace skelvar;

namespace {

constexpr std::uint64_t y2k_plus = 125911584001234567ULL;  // 2000-01-01 00:00:00 + 1,234,567 ticks

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

    // Month name in year-month-day order: no order, empty date.
    EXPECT_EQ(date_of(ft, compiled("yyyy-mmm-dd", "")), "");

    // No month or no year: compilation fails and dates stay empty.
    EXPECT_FALSE(compile_date_time_format("dd-yyyy-", "hh:mm:ss", false, f));
    EXPECT_EQ(date_of(ft, f), "");
    EXPECT_FALSE(compile_date_time_format("dd-mm-xx", "hh:mm:ss", false, f));
    EXPECT_EQ(date_of(ft, f), "");
}

