#include "app/instance_plan.h"

#include <gtest/gtest.h>

#include <fstream>

#include "app/instance_merge.h"
#include "common/test_support.h"

namespace skelvar {
namespace {

using args = std::vector<std::string>;
using slices = std::vector<instance_slice>;

TEST(InstanceSlices, EqualPartsTheLastRunsToTheEndOfTheRange) {
    struct row {
        unsigned n;
        std::uint64_t start, total;
        bool range;
        slices want;
    };
    const row rows[] = {
        {3, 0, 1000, false, {{0, 333}, {333, 333}, {666, 334}}},
        {2, 100, 11, true, {{100, 5}, {105, 6}}},
        // Without -mftrange the total is the whole $MFT, also when the walk starts later.
        {2, 100, 1000, false, {{100, 500}, {600, 400}}},
        {4, 0, 7, true, {{0, 1}, {1, 1}, {2, 1}, {3, 4}}},
        // Never a count of 0 for a child: it would mean "to the end of the $MFT".
        {4, 50, 3, true, {{50, 1}, {51, 1}, {52, 1}}},
        {2, 0, 1, false, {{0, 1}}},
        {2, 900, 1000, false, {{900, 100}}},
        {3, 1000, 1000, false, {{1000, 0}}},
        {2, 0, 0, false, {}},
        {2, ~0ull - 1, 10, true, {{~0ull - 1, 1}}},
    };
    for (const row& r : rows)
        EXPECT_EQ(plan_slices(r.n, r.start, r.total, r.range), r.want)
            << r.n << " instances from " << r.start << " total " << r.total;
}

TEST(InstanceArguments, ChildGetsTheRunWithoutInstanceOptionsPlusItsSlice) {
    const std::string script = (testing_support::scratch_dir("instance_args") / "opts.txt").string();
    std::ofstream(script) << "-csv -cpu 4\n-filter_name \"my file\"\n";
    const args typed = {"skelvar", "-mftfile", "/cases/a b/$MFT", "-script", script, "-CPU", "3", "-out", "r.csv",
                        "-tempdir", "t", "-cpuinst", "9", "-profile", "-append", "-separate_files", "-outfile", "x",
                        "-mftstart", "5", "-mftrange", "9", "-quiet", "-signal", "done", "-hostname", "",
                        "-diags", "log.txt"};
    const args base = instance_base_args(typed);
    EXPECT_EQ(base, (args{"skelvar", "-mftfile", "/cases/a b/$MFT", "-hostname", "", "-diags", "log.txt", "-csv",
                          "-filter_name", "my file"}));
    const args child = child_args(base, {0x100, 0xab}, 1, "/tmp/1_x_temp.bin");
    EXPECT_EQ(args(child.begin() + 6, child.end()),
              (args{"log.txt.00002", "-csv", "-filter_name", "my file", "-mftstart", "0x100", "-mftrange", "0xab",
                    "-quiet", "-cpuinst", "1", "-out", "/tmp/1_x_temp.bin"}));
}

TEST(InstanceMerge, DataStartAfterTheHeaderBlockAndOptionallyTheColumnLine) {
    struct row {
        const char* head;
        bool skip_column;
        std::optional<std::size_t> want;
    };
    const row rows[] = {
        {"banner\ncmd\n\ncols\nd1\n", false, 12},
        {"banner\ncmd\n\ncols\nd1\n", true, 17},
        {"banner\r\n\r\ncols\r\nd1\r\n", true, 16},
        // A white-space line ends the header; blank lines before the data are skipped.
        {"banner\n \t\n\n\ncols\n\nd1\n", true, 18},
        {"banner\n\ncols\n", true, 13},
        {"banner\ncols\nd1\n", false, std::nullopt},
        {"banner\n\ncols", true, std::nullopt},
    };
    for (const row& r : rows) EXPECT_EQ(data_start(r.head, r.skip_column), r.want) << r.head;
    EXPECT_EQ(data_start(std::string_view("ban\0ner\n\ncols\n", 14), false), std::nullopt);

    // The merged file's header block: its lines and one empty line.
    EXPECT_EQ(merged_header("skelvar ver: 0.95\ncmdline: x"), "skelvar ver: 0.95\ncmdline: x\n\n");
    EXPECT_EQ(merged_header("skelvar ver: 0.95\n\n"), "skelvar ver: 0.95\n\n");
}

}  // namespace
}  // namespace skelvar
