#include "support/diag_log.h"

#include <gtest/gtest.h>

#include "common/test_support.h"

using skelvar::diag_log;

TEST(DiagLog, WritesPrefixedFlushedLines) {
    const auto dir = testing_support::scratch_dir("diaglog");
    const std::string path = (dir / "diags.txt").string();
    {
        diag_log log;
        // Lines logged before the file is named wait in memory and come first.
        log.hold("skelvar -mftfile x -diags diags.txt");
        log.line("err: entry 0x%llx bad", 0x2aULL);
        EXPECT_FALSE(std::filesystem::exists(path));
        ASSERT_TRUE(log.write_to(path));
        log.line("info: already ended\n");
        log.text("plain");
        const std::string long_arg(3000, 'L');  // past the first attempt's buffer
        log.line("seg: %s", long_arg.c_str());
        // Flushed per line: visible before the log is closed.
        EXPECT_EQ(testing_support::read_file(path),
                  "->skelvar -mftfile x -diags diags.txt\n->err: entry 0x2a bad\n->info: already ended\n->plain\n"
                  "->seg: " + long_arg + "\n");
    }
    // Reopening truncates; a log that cannot be opened stays silent.
    diag_log again;
    ASSERT_TRUE(again.open(path, "second"));
    again.close();
    EXPECT_EQ(testing_support::read_file(path), "->second\n");
    EXPECT_FALSE(again.open((dir / "missing" / "d.txt").string(), "cmd"));
}

