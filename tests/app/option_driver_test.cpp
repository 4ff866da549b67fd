#include "app/option_driver.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/mft_entries_ctx.h"
#include "app/parse_driver.h"
#include "common/test_support.h"

namespace skelvar {
namespace {

namespace fs = std::filesystem;

TEST(DriverDefaults, PaddedPipeLayoutAndReferenceTimeAnHourAhead) {
    mft_entries_ctx ctx;
    std::uint64_t before = filetime_now();
    auto p = parse(ctx, {});
    std::uint64_t after = filetime_now();
    ASSERT_EQ(p.rc, options_ok) << p.err;
    EXPECT_EQ(ctx.output.separator, " | ");
    EXPECT_FALSE(ctx.output.no_padding);
    EXPECT_TRUE(ctx.output.space_before_time && ctx.show_progress);
    EXPECT_EQ(ctx.output.date_pattern, "yyyy-mm-dd");
    EXPECT_EQ(ctx.output.time_pattern, "hh:mm:ss.xxx");
    EXPECT_EQ(ctx.walk.source_label, u"NTFS$MFT");
    EXPECT_TRUE(p.left.empty());
    EXPECT_GE(ctx.decode.reference_time, before + 36000000000ull);
    EXPECT_LE(ctx.decode.reference_time, after + 36000000000ull);
}

TEST(DriverResults, TooFewArgumentsAndMissingSource) {
    mft_entries_ctx ctx;
    arg_list only_program(std::vector<std::string>{"skelvar"});
    EXPECT_EQ(run_option_driver(ctx, only_program), options_invalid);

    mft_entries_ctx ctx2;
    auto p = parse(ctx2, {"-csv"}, false);
    EXPECT_EQ(p.rc, options_no_source);
    EXPECT_EQ(p.err, "error: need to specify at least an input source [-mftfile, -image, -drivenum, -partition, -vmdk]\n");
}

TEST(CsvLayout, CommaUnpaddedUnlessPaired) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-csv"}).rc, options_ok);
    EXPECT_TRUE(ctx.output.csv && ctx.output.no_padding);
    EXPECT_EQ(ctx.output.separator, ",");
    EXPECT_EQ(ctx.output.sep_char, ',');
    EXPECT_EQ(ctx.output.sub_char, ' ');

    // -pair_datetime is applied first whatever its position.
    mft_entries_ctx paired;
    ASSERT_EQ(parse(paired, {"-CSV", "-pair_datetime"}).rc, options_ok);
    EXPECT_TRUE(paired.output.pair_datetime);
    EXPECT_FALSE(paired.output.no_padding);
}

TEST(Separators, CsvSeparatorDerivesTheCharacterPair) {
    struct row {
        const char* value;
        const char* separator;
        char sep, sub;
    } rows[] = {
        {"|", "|", '|', ';'},   {" , ", " , ", ',', ' '}, {"tab", "\t", 0, 0},
        {"\\T", "\t", 0, 0},    {"::", "::", 0, 0},      {"a|b,c", "a|b,c", '|', ';'},
    };
    for (const row& r : rows) {
        mft_entries_ctx ctx;
        ASSERT_EQ(parse(ctx, {"-csv_separator", r.value}).rc, options_ok);
        EXPECT_EQ(ctx.output.separator, r.separator) << r.value;
        EXPECT_EQ(ctx.output.sep_char, r.sep) << r.value;
        EXPECT_EQ(ctx.output.sub_char, r.sub) << r.value;
    }
}

TEST(Separators, NoWhitespaceStripsAfterTheChoiceAndQuotingNeverSubstitutes) {
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-no_whitespace", "-csv_separator", " ; "}).rc, options_ok);
    EXPECT_EQ(ctx.output.separator, ";");
    EXPECT_TRUE(ctx.output.no_padding && !ctx.output.space_before_time);

    mft_entries_ctx plain;
    ASSERT_EQ(parse(plain, {"-no_whitespace"}).rc, options_ok);
    EXPECT_EQ(plain.output.separator, "|");
    EXPECT_EQ(plain.output.sep_char, '|');

    mft_entries_ctx quoted;
    ASSERT_EQ(parse(quoted, {"-enable_quoted_csv_fields", "-csv"}).rc, options_ok);
    EXPECT_TRUE(quoted.output.quoted_text);
    EXPECT_EQ(quoted.output.separator, ",");
    EXPECT_EQ(quoted.output.sep_char, 0);
}

TEST(GeneralOptions, FlagsNumbersAndBaseOrder) {
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-quiet", "-base10", "-mftstart", "0x10", "-mftrange", "10", "-signal", "done"});
    ASSERT_EQ(p.rc, options_ok) << p.err;
    EXPECT_FALSE(ctx.show_progress || ctx.output.hex_numbers);
    EXPECT_EQ(ctx.walk.start, 16u);
    EXPECT_EQ(ctx.walk.range, 10u);
    EXPECT_EQ(ctx.signal_name, "done");

    mft_entries_ctx hex;
    ASSERT_EQ(parse(hex, {"-base10", "-base16"}).rc, options_ok);
    EXPECT_TRUE(hex.output.hex_numbers);
}

TEST(DateFormats, ValidPatternsReplaceTheDefaultsInvalidOnesAreReported) {
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-dateformat", "mm/dd/yyyy", "-timeformat", "hh:mm:ss"});
    ASSERT_EQ(p.rc, options_ok);
    EXPECT_EQ(ctx.output.date_pattern, "mm/dd/yyyy");
    EXPECT_EQ(ctx.output.time_pattern, "hh:mm:ss");
    EXPECT_TRUE(p.err.empty()) << p.err;

    mft_entries_ctx bad;
    p = parse(bad, {"-dateformat", "dd-mmm-yyyy", "-timeformat", "hh:mm"});
    ASSERT_EQ(p.rc, options_ok);
    EXPECT_EQ(bad.output.date_pattern, "yyyy-mm-dd");
    EXPECT_EQ(bad.output.time_pattern, "hh:mm:ss.xxx");
    EXPECT_NE(p.err.find("invalid dd-mmm-yyyy, using default format\n"), std::string::npos);
    EXPECT_NE(p.err.find("invalid hh:mm, using default format\n"), std::string::npos);
}

TEST(OutputFile, TestOpenCreatesTheFolderButLeavesFilesAlone) {
    fs::path dir = testing_support::scratch_dir("outopt");
    fs::path out = dir / "sub" / "res.txt";
    mft_entries_ctx ctx;
    ASSERT_EQ(parse(ctx, {"-OUT", out.string()}).rc, options_ok);
    EXPECT_TRUE(ctx.has_out_file);
    EXPECT_EQ(ctx.out_path, out.string());
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
    EXPECT_FALSE(fs::exists(out));

    fs::path old = dir / "old.txt";
    { std::FILE* f = std::fopen(old.c_str(), "w"); std::fputs("old", f); std::fclose(f); }
    mft_entries_ctx keep;
    ASSERT_EQ(parse(keep, {"-out", old.string()}).rc, options_ok);
    EXPECT_EQ(testing_support::read_file(old), "old");
    fs::remove_all(dir);
}

TEST(OutputFile, OutWinsOverOutfileAndLastValuelessOutIsLeftOver) {
    fs::path dir = testing_support::scratch_dir("outboth");
    mft_entries_ctx ctx;
    auto p = parse(ctx, {"-outfile", (dir / "a.txt").string(), "-out", (dir / "b.txt").string()});
    ASSERT_EQ(p.rc, options_ok);
    EXPECT_EQ(ctx.out_path, (dir / "b.txt").string());

    mft_entries_ctx last;
    arg_list args(std::vector<std::string>{"skelvar", "-mftfile", "m.bin", "-out"});
    ASSERT_EQ(run_option_driver(last, args), options_ok);
    EXPECT_FALSE(last.has_out_file);
    EXPECT_EQ(args.leftovers(), std::vector<std::string>{"-out"});
    fs::remove_all(dir);
}

TEST(Diagnostics, LogOpensWithTheCommandLine) {
    fs::path dir = testing_support::scratch_dir("diags");
    fs::path log = dir / "d.log";
    {
        mft_entries_ctx ctx;
        ASSERT_EQ(parse(ctx, {"-diags", log.string()}).rc, options_ok);
        EXPECT_TRUE(ctx.diags.active());
        EXPECT_EQ(ctx.diags_path, log.string());
    }
    std::string text = testing_support::read_file(log);
    EXPECT_EQ(text.rfind("->skelvar -diags ", 0), 0u) << text;

    mft_entries_ctx bad;
    ASSERT_EQ(parse(bad, {"-diags", dir.string()}).rc, options_ok);
    EXPECT_TRUE(bad.diags_path.empty());
    fs::remove_all(dir);
}

}  // namespace
}  // namespace skelvar
