#include "report/json_text.h"

#include <gtest/gtest.h>

namespace skelvar {
namespace {

TEST(JsonText, DatesAcrossTheCalendar) {
    struct row {
        std::uint64_t filetime;
        const char* iso;
        std::int64_t unix_us;
    };
    const row rows[] = {
        {0, "1601-01-01T00:00:00.0000000Z", -11644473600000000},
        {125911584001234567, "2000-01-01T00:00:00.1234567Z", 946684800123456},
        {116444736000000000, "1970-01-01T00:00:00.0000000Z", 0},
        {116444735999999999, "1969-12-31T23:59:59.9999999Z", -1},
        {133537248000000000, "2024-03-01T00:00:00.0000000Z", 1709251200000000},
        {133537247990000000, "2024-02-29T23:59:59.0000000Z", 1709251199000000},
        {94405824000000000, "1900-03-01T00:00:00.0000000Z", -2203891200000000},  // 1900: no leap day
        {2650467743999999999, "9999-12-31T23:59:59.9999999Z", 253402300799999999},
    };
    for (const row& r : rows) {
        std::string s;
        append_iso_date_time(r.filetime, s);
        EXPECT_EQ(s, r.iso) << r.filetime;
        EXPECT_EQ(unix_microseconds(r.filetime), r.unix_us) << r.filetime;
    }
}

TEST(JsonText, StringsStayValidUtf8) {
    std::string s;
    append_json_string(std::u16string_view(u"a\"\\\x01\n\xDC80\xD800x\xD83D\xDE00", 10), s);
    EXPECT_EQ(s, "\"a\\\"\\\\\\u0001\\n\\udc80\\ud800x\xF0\x9F\x98\x80\"");
    s.clear();
    // The UTF-8 writer's form of a lone low surrogate, a stray byte, a cut sequence, a valid one.
    append_json_chars(std::string_view("\xED\xB2\x80|\xFF|\xE2\x82|\xC3\xA9\t"), s);
    EXPECT_EQ(s, "\\udc80|\\ufffd|\\ufffd\\ufffd|\xC3\xA9\\t");
}

}  // namespace
}  // namespace skelvar
