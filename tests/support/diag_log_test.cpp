#include "support/diag_log.h"

#include <gtest/gtest.h>

#include "common/test_support.h"

using skelvar::diag_log;

TEST(DiagLog, WritesPrefixedFlushedLines) {
    const auto dir = testing_support::scratch_dir("diaglog");
    const std::string path = (dir / "diags.txt").string();
    {
        diag_log log;
        ASSERT_TRUE(log.open(path, "skelvar -mftfile x -diags diags.txt"));
        EXPECT_TRUE(log.active());
        EXPECT_EQ(log.path(), path);
        log.line("err: entry 0x%llx bad", 0x2aULL);
        log.line("info: already ended\n");
        log.text("plain");
        const std::string long_arg(3000, 'L');
        log.line("seg: %s", long_arg.c_str());
        // Flushed per line: visible before the log is closed.
        EXPECT_EQ(testing_support::read_file(path),
                  "->skelvar -mftfile x -diags diags.txt\n->err: entry 0x2a bad\n->info: already ended\n->plain\n"
                  "->seg: " + long_arg + "\n");
    }
    // Reopening truncates.
    diag_log again;
    ASSERT_TRUE(again.open(path, "second"));
    again.close();
    EXPECT_FALSE(again.active());
    EXPECT_EQ(testing_support::read_file(path), "->second\n");
}

TEST(DiagLog, UnopenedOrUnopenableLogIsInactiveAndSilent) {
    const auto dir = testing_support::scratch_dir("diaglog");
    diag_log log;
    log.line("err: %d", 1);
    EXPECT_FALSE(log.open((dir / "missing" / "d.txt").string(), "cmd"));
    EXPECT_FALSE(log.active());
    EXPECT_TRUE(log.path().empty());
    log.line("still %s", "silent");
    log.text("nothing");
}
