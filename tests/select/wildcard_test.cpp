#include "select/wildcard.h"

#include <gtest/gtest.h>

using skelvar::wildcard_pattern;

TEST(Wildcard, MatchesAnywhereInTheNameWithCaseFolded) {
    struct row {
        const char16_t *pattern, *name;
        bool found;
    };
    const row rows[] = {
        {u"inv??ce", u"my invoice 2019.pdf", true},
        {u"inv??ce", u"invice.pdf", false},    // one too few
        {u"inv??ce", u"invooice.pdf", false},  // one too many
        {u"?.exe", u".exe", false},            // the ? needs a character before
        {u"report?", u"report", false},        // ... and a trailing one after
        {u"a?c", u"aab abc", true},            // a later start fits where the first does not
        {u"?a?a", u"banana", true},
        {u"INV*.PDF", u"invoice 2019.pdf", true},
        {u"inv*.pdf", u"inv.pdf", true},       // an empty run
        {u"b*a", u"ab", false},                // pieces keep their order
        {u"*", u"anything", true},
        {u"s?a*t?on", u"smartphone station", true},
        {u"Ü?er*ße", u"übersicht größe", true},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(wildcard_pattern(rows[i].pattern).found_in(rows[i].name), rows[i].found) << "row " << i;
    EXPECT_EQ(wildcard_pattern(u"ABC?").text(), u"abc?");
}
