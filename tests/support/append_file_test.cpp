#include "support/append_file.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "common/test_support.h"

namespace skelvar {
namespace {

namespace fs = std::filesystem;

// A source on another file system (tmpfs) is refused by the in-kernel copy on
// current kernels, so both ways of copying are exercised.
TEST(AppendFile, TailsOfOtherFilesFollowTheTextInOrder) {
    const fs::path dir = testing_support::scratch_dir("append_file");
    const fs::path near = dir / "a.txt", far = fs::exists("/dev/shm") ? fs::path("/dev/shm") / dir.filename() : dir / "b";
    std::ofstream(near) << "skip|near\n";
    std::ofstream(far) << "skip|far\n";
    append_file f;
    ASSERT_TRUE(f.create((dir / "out.txt").string()));
    EXPECT_TRUE(f.write("head\n"));
    EXPECT_TRUE(f.append_tail(near.string(), 5));
    EXPECT_TRUE(f.append_tail(far.string(), 5));
    EXPECT_FALSE(f.append_tail((dir / "missing").string(), 0));
    EXPECT_TRUE(f.close());
    fs::remove(far);
    EXPECT_EQ(testing_support::read_file(dir / "out.txt"), "head\nnear\nfar\n");
}

}  // namespace
}  // namespace skelvar
