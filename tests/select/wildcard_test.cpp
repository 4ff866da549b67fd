#include "select/wildcard.h"

#include <gtest/gtest.h>

using skelvar::wildcard_pattern;

namespace {

bool found(const std::u16string& pattern, const std::u16string& name) { return wildcard_pattern(pattern).found_in(name); }

}  // namespace

TEST(Wildcard, QuestionMarksAreExactlyOneCharacterAnywhereInTheName) {
    EXPECT_TRUE(found(u"inv??ce", u"my invoice 2019.pdf"));
    EXPECT_FALSE(found(u"inv??ce", u"invice.pdf"));       // one too few
    EXPECT_FALSE(found(u"inv??ce", u"invooice.pdf"));     // one too many
    EXPECT_TRUE(found(u"?.exe", u"a.exe"));
    EXPECT_FALSE(found(u"?.exe", u".exe"));               // the ? needs a character before
    EXPECT_TRUE(found(u"report?", u"report1"));
    EXPECT_FALSE(found(u"report?", u"report"));           // a trailing ? needs a character after
    EXPECT_TRUE(found(u"???", u"abc"));
    EXPECT_FALSE(found(u"???", u"ab"));
    // A later start position fits where the first one does not.
    EXPECT_TRUE(found(u"a?c", u"aab abc"));
    EXPECT_TRUE(found(u"?a?a", u"banana"));
}

TEST(Wildcard, StarsSpanAnyRunAndCaseIsFolded) {
    EXPECT_TRUE(found(u"INV*.PDF", u"invoice 2019.pdf"));
    EXPECT_TRUE(found(u"inv*.pdf", u"inv.pdf"));         // an empty run
    EXPECT_FALSE(found(u"inv*.pdf", u"report.pdf"));
    EXPECT_FALSE(found(u"b*a", u"ab"));                  // pieces keep their order
    EXPECT_TRUE(found(u"*", u"anything"));
    EXPECT_TRUE(found(u"s?a*t?on", u"smartphone station"));
    EXPECT_TRUE(found(u"Ü?er*ße", u"übersicht größe"));
    EXPECT_EQ(wildcard_pattern(u"ABC?").text(), u"abc?");
}
