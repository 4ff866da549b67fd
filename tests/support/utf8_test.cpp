#include "support/utf8.h"

#include <gtest/gtest.h>

using uni::append_utf8;
using uni::to_utf16;
using uni::to_utf8;

TEST(Utf8, BrokenSurrogatesStopTheTextLoneLowOnesPassThrough) {
    bool ok = true;
    // A high surrogate at the end or before anything but a low one stops the text.
    const char16_t high_at_end[] = {u'a', u'b', 0xD83D};
    EXPECT_EQ(to_utf8(std::u16string_view(high_at_end, 3), &ok), "ab");
    EXPECT_FALSE(ok);
    const char16_t high_then_x[] = {u'a', 0xD83D, u'x', u'y'};
    EXPECT_EQ(to_utf8(std::u16string_view(high_then_x, 4), &ok), "a");
    EXPECT_FALSE(ok);
    const char16_t lone_low[] = {u'a', 0xDE00, u'b'};
    EXPECT_EQ(to_utf8(std::u16string_view(lone_low, 3), &ok), "a\xED\xB8\x80" "b");
    EXPECT_TRUE(ok);
}

TEST(Utf8, EveryScalarValueSurvivesTheRoundTrip) {
    for (char32_t c = 0; c <= 0x10FFFF; c += (c < 0x800 ? 1 : 97)) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        std::u16string s;
        if (c >= 0x10000) {
            s.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            s.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            s.push_back(static_cast<char16_t>(c));
        }
        ASSERT_EQ(to_utf16(to_utf8(s)), s) << static_cast<unsigned>(c);
    }
}

TEST(Utf8, InvalidHostBytesBecomeReplacement) {
    EXPECT_EQ(to_utf16("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(to_utf16("\xC0\xAF"), u"\uFFFD\uFFFD");              // overlong
    EXPECT_EQ(to_utf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");    // encoded surrogate
    EXPECT_EQ(to_utf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // above U+10FFFF
    EXPECT_EQ(to_utf16("\xE2\x82" "x"), u"\uFFFDx");              // truncated: one replacement
    EXPECT_EQ(to_utf16("\xF0\x9F\x98"), u"\uFFFD");               // truncated at the end
}
