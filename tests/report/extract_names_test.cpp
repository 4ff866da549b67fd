#include "report/extract_names.h"

#include <gtest/gtest.h>

#include "report/date_time.h"
#include "support/utf8.h"

using namespace skelvar;

namespace {

const std::string md5 = "0123456789abcdef0123456789abcdef";

}  // namespace

TEST(ExtractNames, UnsafeCharactersAreEscapedReadably) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a/b", "a%2Fb"},       {"a\\b", "a%5Cb"},           {"..", "%2E%2E"},
        {".", "%2E"},           {"...", "..."},               {std::string("n\0l\n", 4), "n%00l%0A"},
        {"50%", "50%25"},       {"a:b*?\"<>|", "a%3Ab%2A%3F%22%3C%3E%7C"},
        {"Übergröße", "Übergröße"}, {"-rf", "-rf"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(host_safe_component(in), out) << in;
    // Half a surrogate pair is kept as its code unit; a whole pair is the character.
    EXPECT_EQ(host_safe_component(std::u16string(u"a\xD800" u"b/")), "a%uD800b%2F");
    EXPECT_EQ(host_safe_component(std::u16string(u"\xD83D\xDE00")), "\xF0\x9F\x98\x80");
}

TEST(ExtractNames, FileNameCarriesTimeMd5NameStreamAndLabel) {
    const std::uint64_t t = filetime_from_fields(2001, 2, 3, 4, 5, 6) + 7'890'000;
    EXPECT_EQ(extracted_file_name({t, md5, u"report.doc", u"", "unnamed data", false}),
              "2001_02_03_0405_06_789_" + md5 + "_report.doc.bin");
    EXPECT_EQ(extracted_file_name({t, md5, u"report.doc", u"x", "ads", true}),
              "2001_02_03_0405_06_789_" + md5 + "_report.doc.x_ads");
    EXPECT_EQ(extracted_file_name({0, md5, u"../../etc/passwd", u"", "unnamed data", false}),
              "0000_00_00_0000_00_000_" + md5 + "_..%2F..%2Fetc%2Fpasswd.bin");

    // Past 255 bytes the middle goes, marked, at a character boundary; the end stays.
    std::u16string name(255, u'é');
    name += u"\x01.txt";
    const std::string n = extracted_file_name({0, md5, name, u"", "unnamed data", true});
    EXPECT_LE(n.size(), host_name_max);
    EXPECT_NE(n.find("%~"), std::string::npos);
    EXPECT_EQ(n.substr(n.size() - 9), "é%01.txt");
    EXPECT_EQ(uni::to_utf16(n).find(u'\xFFFD'), std::u16string::npos);
}

TEST(ExtractNames, DirectoryCategoryFolders) {
    EXPECT_EQ(category_folder_name(category_kind::directory, "\\Windows\\System32"), "[root]-Windows-System32");
    EXPECT_EQ(category_folder_name(category_kind::directory, "C:\\Program Files/x"), "C-Program_Files-x");
}
