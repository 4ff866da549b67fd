#include "app/arg_list.h"

#include <gtest/gtest.h>

namespace skelvar {
namespace {

arg_list make(std::vector<std::string> a) {
    a.insert(a.begin(), "skelvar");
    return arg_list(std::move(a));
}

TEST(OptionMatching, ExactLengthIgnoringCaseAndNeverTheProgramPath) {
    EXPECT_TRUE(option_matches("-Filter_AND_Logic", "-filter_and_logic"));
    EXPECT_FALSE(option_matches("-outx", "-out"));
    EXPECT_FALSE(option_matches("-ou", "-out"));
    EXPECT_FALSE(option_matches("out", "-out"));
}

TEST(OptionConsumption, FlagsAndValuesAreRemovedInOrder) {
    auto args = make({"-mftfile", "m.bin", "-CSV", "-out", "r.txt", "-filter_file", "a", "-filter_file", "b",
                      "-csv_separator", "-csv", "extra"});
    // The value is the next argument whatever it is.
    EXPECT_EQ(args.take_value("-csv_separator"), "-csv");
    EXPECT_TRUE(args.take_flag("-csv"));
    EXPECT_FALSE(args.take_flag("-csv"));
    EXPECT_EQ(args.take_value("-out"), "r.txt");
    EXPECT_EQ(args.take_value("-mftfile"), "m.bin");
    EXPECT_EQ(args.take_value("-filter_file"), "a");
    EXPECT_EQ(args.take_value("-filter_file"), "b");
    EXPECT_EQ(args.leftovers(), std::vector<std::string>{"extra"});
}

TEST(NumberValues, HexAfterXElseDecimalGarbageAndOverflowRefused) {
    EXPECT_EQ(parse_number(" 0X1F "), 31u);
    EXPECT_EQ(parse_number("x20"), 32u);
    EXPECT_EQ(parse_number("1x10"), 16u);  // the digits after the first "x", whatever stands before
    EXPECT_EQ(parse_number("0xffffffffffffffff"), 0xffffffffffffffffull);
    for (const char* bad : {"", "0x", "12abc", "-1", "0x1g", "18446744073709551616", "0x10000000000000000"})
        EXPECT_FALSE(parse_number(bad)) << bad;
}

}  // namespace
}  // namespace skelvar
