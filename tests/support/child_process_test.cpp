#include "support/child_process.h"

#include <fstream>

#include <gtest/gtest.h>

#include "common/test_support.h"

namespace skelvar {
namespace {

// The child writes each argument it received on a line of its own.
TEST(ChildProcess, ArgumentsArriveIntactAndTheOutputIsDrained) {
    const std::string listing = (testing_support::scratch_dir("child_process") / "args.txt").string();
    const std::vector<std::string> sent = {"a b", "", "0x0", "say \"hi\"", "$MFT", "it's", "`x`", "\\", "*"};
    // More output than a pipe holds: an undrained child would never end.
    std::vector<std::string> argv = {"sh", "-c", "printf '%s\\n' \"$@\" > \"$0\"; head -c 300000 /dev/zero; exit 3",
                                     listing};
    argv.insert(argv.end(), sent.begin(), sent.end());
    const child_outcome r = run_child("/bin/sh", argv);
    ASSERT_TRUE(r.started) << r.problem;
    EXPECT_EQ(r.exit_code, 3);
    std::ifstream in(listing);
    std::vector<std::string> got;
    for (std::string line; std::getline(in, line);) got.push_back(line);
    EXPECT_EQ(got, sent);

    const child_outcome missing = run_child("/nonexistent/skelvar", {"skelvar"});
    EXPECT_FALSE(missing.started);
    EXPECT_FALSE(missing.problem.empty());
}

}  // namespace
}  // namespace skelvar
