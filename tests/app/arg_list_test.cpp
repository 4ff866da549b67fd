#include "app/arg_list.h"

#include <gtest/gtest.h>

namespace skelvar {
namespace {

arg_list make(std::vector<std::string> a) {
    a.insert(a.begin(), "skelvar");
    return arg_list(std::move(a));
}

TEST(OptionMatching, ExactLengthIgnoringCase) {
    EXPECT_TRUE(option_matches("-OUT", "-out"));
    EXPECT_TRUE(option_matches("-Filter_AND_Logic", "-filter_and_logic"));
    EXPECT_FALSE(option_matches("-outx", "-out"));
    EXPECT_FALSE(option_matches("-ou", "-out"));
    EXPECT_FALSE(option_matches("out", "-out"));
}

TEST(OptionMatching, ProgramPathIsNeverAnOption) {
    arg_list args(std::vector<std::string>{"-csv", "-quiet"});
    EXPECT_FALSE(args.take_flag("-csv"));
    EXPECT_TRUE(args.take_flag("-quiet"));
}

TEST(OptionConsumption, FlagAndValueAreRemoved) {
    auto args = make({"-mftfile", "m.bin", "-CSV", "-out", "r.txt", "extra"});
    EXPECT_TRUE(args.take_flag("-csv"));
    EXPECT_FALSE(args.take_flag("-csv"));
    EXPECT_EQ(args.take_value("-out"), "r.txt");
    EXPECT_EQ(args.take_value("-mftfile"), "m.bin");
    EXPECT_EQ(args.leftovers(), std::vector<std::string>{"extra"});
}

TEST(OptionConsumption, ValueIsTheNextArgumentWhateverItIs) {
    auto args = make({"-csv_separator", "-csv"});
    EXPECT_EQ(args.take_value("-csv_separator"), "-csv");
    EXPECT_TRUE(args.leftovers().empty());
}

TEST(OptionConsumption, ValueOptionStandingLastIsAbsentAndStays) {
    auto args = make({"-csv", "-out"});
    EXPECT_FALSE(args.has_value("-out"));
    EXPECT_FALSE(args.take_value("-out").has_value());
    EXPECT_EQ(args.leftovers(), (std::vector<std::string>{"-csv", "-out"}));
}

TEST(OptionConsumption, RepeatedOptionIsTakenInOrder) {
    auto args = make({"-filter_file", "a", "-filter_file", "b", "-filter_file"});
    EXPECT_EQ(args.take_value("-filter_file"), "a");
    EXPECT_EQ(args.take_value("-filter_file"), "b");
    EXPECT_FALSE(args.take_value("-filter_file"));
    EXPECT_EQ(args.size(), 2u);
}

TEST(ListValues, SplitAtBarCommaSemicolonAndTrimmed) {
    EXPECT_EQ(split_list("exe | dll;sys,com"), (std::vector<std::string>{"exe", "dll", "sys", "com"}));
    EXPECT_EQ(split_list(" a || ,; b\t"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(split_list(" | ").empty());
    EXPECT_EQ(split_list("my file"), std::vector<std::string>{"my file"});
}

TEST(NumberValues, HexAfterXElseDecimal) {
    EXPECT_EQ(parse_number("0x10"), 16u);
    EXPECT_EQ(parse_number("10"), 10u);
    EXPECT_EQ(parse_number(" 0X1F "), 31u);
    EXPECT_EQ(parse_number("x20"), 32u);
    EXPECT_EQ(parse_number("0xffffffffffffffff"), 0xffffffffffffffffull);
}

TEST(NumberValues, GarbageAndOverflowAreRefused) {
    EXPECT_FALSE(parse_number(""));
    EXPECT_FALSE(parse_number("0x"));
    EXPECT_FALSE(parse_number("12abc"));
    EXPECT_FALSE(parse_number("-1"));
    EXPECT_FALSE(parse_number("1x10"));
    EXPECT_FALSE(parse_number("0x1g"));
    EXPECT_FALSE(parse_number("18446744073709551616"));
    EXPECT_FALSE(parse_number("0x10000000000000000"));
}

TEST(DateTimeValues, FiletimeWithoutZoneAdjustment) {
    // 2000-01-01 00:00:00 UTC
    EXPECT_EQ(parse_date_time("01/01/2000 00:00:00", "00:00:00"), 125911584000000000ull);
    EXPECT_EQ(parse_date_time("01/01/2000", "00:00:00"), 125911584000000000ull);
    EXPECT_EQ(parse_date_time("2000-01-01 00:00:01", "00:00:00"), 125911584010000000ull);
    EXPECT_EQ(parse_date_time("01/01/2000", "23:59:59"), 125911584000000000ull + 86399ull * 10000000ull);
    EXPECT_EQ(parse_date_time("1/1/1601 00:00:00", ""), 0u);
}

TEST(DateTimeValues, InvalidTextIsRefused) {
    EXPECT_FALSE(parse_date_time("13/01/2000", "00:00:00"));
    EXPECT_FALSE(parse_date_time("02/30/2001", "00:00:00"));
    EXPECT_FALSE(parse_date_time("01/01/2000 25:00:00", "00:00:00"));
    EXPECT_FALSE(parse_date_time("yesterday", "00:00:00"));
    EXPECT_FALSE(parse_date_time("", "00:00:00"));
    EXPECT_FALSE(parse_date_time("01/01/00", "00:00:00"));
}

TEST(CommandLineText, QuotesArgumentsWithSpaces) {
    EXPECT_EQ(join_command_line({"skelvar", "-filter_name", "my file", ""}), "skelvar -filter_name \"my file\" \"\"");
}

}  // namespace
}  // namespace skelvar
