// The strings found in a stream's leading bytes, as the header action shows them.
#include "report/header_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

using namespace skelvar;

namespace {

using bytes = std::vector<std::uint8_t>;

bytes ascii(std::string_view s) { return bytes(s.begin(), s.end()); }

bytes utf16(std::string_view s) {
    bytes b;
    for (char c : s) {
        b.push_back(static_cast<std::uint8_t>(c));
        b.push_back(0);
    }
    return b;
}

bytes cat(std::initializer_list<bytes> parts) {
    bytes out;
    for (const bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::string strings_of(const bytes& b) { return header_text(b, true, "; "); }

}  // namespace

TEST(HeaderText, StringsOfFiveCharactersInOffsetOrder) {
    const std::pair<bytes, std::string> cases[] = {
        {cat({ascii("abcd"), bytes{0}, ascii("efghi")}), "efghi"},
        // Leading blanks are not part of a string: five blanks, or blanks before four letters, are none.
        {cat({ascii("     "), bytes{1}, ascii("  wxyz"), bytes{0}}), ""},
        {cat({ascii("first"), bytes{0, 0}, utf16("second"), bytes{0, 0}, ascii("third"), bytes{0}}),
         "first; second; third"},
    };
    for (const auto& [in, want] : cases) EXPECT_EQ(strings_of(in), want);
    // UTF-16 text starting at an odd offset is found too; ASCII never reads as UTF-16.
    const auto found = find_header_strings(cat({bytes{0xee}, utf16("wide odd"), bytes{0, 0}}));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].offset, 1u);
    EXPECT_EQ(found[0].text, "wide odd");
}
