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

}

TEST(Console, MessagesEraseTheProgressLineFirst) {
    CaptureStderr();
    message_erase("prob %s, aborting\n", "x");
    message_erase("%s", std::string(5000, 'b').c_str());
    EXPECT_EQ(GetCapturedStderr(), std::string(long_erase) + "prob x, aborting\n" + long_erase + std::string(4096, 'b'));
}
