#include "support/console.h"

#include <gtest/gtest.h>

#include <string>

using namespace skelvar::console;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

TEST(Console, StatusLineIsCutTo60AndLosesLineFeeds) {
    CaptureStderr();
    const int n = status_line("analyzing entry %llu of %llu", 53, 1000);
    EXPECT_EQ(GetCapturedStderr(), "\x1b[2K\r    \ranalyzing entry 53 of 1000\r");
    EXPECT_EQ(n, 26);

    const std::string long_format = std::string(70, 'a') + " %llu %llu";
    CaptureStderr();
    EXPECT_EQ(status_line(long_format.c_str(), 1, 2), 60);
    EXPECT_EQ(GetCapturedStderr(), std::string(line_erase_prefix) + std::string(60, 'a') + "\r");

    // LFs are removed after the cut, so they shorten the line.
    char buf[256];
    const std::string with_lf = "x\ny\n" + std::string(70, 'z') + "%llu%llu";
    EXPECT_EQ(format_status_text(buf, with_lf.c_str(), 0, 0), 58);
    EXPECT_EQ(std::string(buf), "xy" + std::string(56, 'z'));
    // Text past the 256-byte buffer is simply cut.
    const std::string huge = std::string(400, 'q') + "%llu%llu";
    EXPECT_EQ(format_status_text(buf, huge.c_str(), 0, 0), 60);
}

TEST(Console, PercentEveryCallForSmallTotalsElseEveryFivePercent) {
    char text[41];
    percent_state small;
    for (std::uint64_t i = 0; i < 19; ++i) {
        EXPECT_GT(small.next(i, 19, text), 0) << i;
        EXPECT_EQ(std::string(text), "percent done: " + std::to_string(i * 100 / 19)) << i;
    }

    percent_state p;
    std::string shown, expected;
    for (std::uint64_t i = 1; i <= 1000; ++i)
        if (p.next(i, 1000, text) > 0) shown += std::string(text) + ";";
    for (int pct = 5; pct <= 100; pct += 5) expected += "percent done: " + std::to_string(pct) + ";";
    EXPECT_EQ(shown, expected);
    // The state is kept: a second pass continues from the old threshold.
    EXPECT_EQ(p.next(500, 1000, text), 0);
    EXPECT_EQ(p.next(1050, 1000, text), 17);
    EXPECT_EQ(std::string(text), "percent done: 105");
    // A zero total never divides by zero.
    percent_state z;
    EXPECT_EQ(z.next(5, 0, text), 0);
}

TEST(Console, PercentLineAndMessages) {
    CaptureStderr();
    percent_line(0, 19);
    EXPECT_EQ(GetCapturedStderr(), std::string(line_erase_prefix) + "percent done: 0\r");

    CaptureStderr();
    message_erase("prob %s, aborting\n", "x");
    erase_progress();
    message("%d", 7);
    const std::string erase = "\x1b[2K\r" + std::string(27, ' ') + "\r";
    EXPECT_EQ(GetCapturedStderr(), erase + "prob x, aborting\n" + erase + "7");

    const std::string big(5000, 'b');
    CaptureStderr();
    message_erase("%s", big.c_str());
    EXPECT_EQ(GetCapturedStderr(), std::string(long_erase) + std::string(4096, 'b'));
}
