#include "app/manual_page.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>

#include "app/header_text.h"
#include "app/option_table.h"
#include "app/usage_text.h"
#include "common/test_support.h"

namespace skelvar {
namespace {

std::set<std::string> table_names() {
    std::set<std::string> names;
    for (auto table : {driver_options(), generic_options(), main_options()})
        for (const option_desc& row : table) names.insert(std::string(row.name));
    return names;
}

// Run with SKELVAR_UPDATE_MANPAGE=1 to rewrite docs/skelvar.1 after changing an option row.
TEST(ManualPage, CommittedCopyMatchesTheOptionTables) {
    // Located from this file, so the check does not depend on the test's working directory.
    std::filesystem::path path = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "docs" /
                                 "skelvar.1";
    std::string rendered = render_manual_page();
    if (std::getenv("SKELVAR_UPDATE_MANPAGE")) std::ofstream(path, std::ios::binary) << rendered;
    EXPECT_EQ(testing_support::read_file(path), rendered)
        << "docs/skelvar.1 is stale: rerun this test with SKELVAR_UPDATE_MANPAGE=1";
}

TEST(UsageText, NamesOnlyOptionsOfTheTables) {
    std::string usage = usage_text(banner_text());
    std::set<std::string> names = table_names();
    std::regex option(R"((?:^|[\s\[])(-[A-Za-z][A-Za-z0-9_]*))");
    int seen = 0;
    for (std::sregex_iterator it(usage.begin(), usage.end(), option), end; it != end; ++it) {
        std::string name = (*it)[1];
        if (name == "-opts") continue;  // placeholder for "options"
        EXPECT_TRUE(names.count(name)) << name;
        ++seen;
    }
    EXPECT_GT(seen, 50);
}

}  // namespace
}  // namespace skelvar
