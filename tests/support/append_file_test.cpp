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
TEST(AppendFile, TailsOfOtherFilesGoToTheirOffsets) {
    const fs::path dir = testing_support::scratch_dir("append_file");
    const fs::path near = dir / "a.txt";
    const fs::path far = fs::exists("/dev/shm") ? fs::path("/dev/shm") / dir.filename() : dir / "b";
    std::ofstream(near) << "skip|near\n";
    std::ofstream(far) << "skip|far\n";
    append_file f;
    ASSERT_TRUE(f.create((dir / "out.txt").string()));
    EXPECT_TRUE(f.write("head\n"));
    // Placed by offset, whatever order the copies run in.
    EXPECT_TRUE(f.copy_at(far.string(), 5, 4, 10));
    EXPECT_TRUE(f.copy_at(near.string(), 5, 5, 5));
    EXPECT_FALSE(f.copy_at(near.string(), 5, 6, 14));  // one byte short: what there is is copied
    EXPECT_FALSE(f.copy_at((dir / "missing").string(), 0, 1, 14));
    EXPECT_TRUE(f.close());
    fs::remove(far);
    EXPECT_EQ(testing_support::read_file(dir / "out.txt"), "head\nnear\nfar\nnear\n");
}

}  // namespace
}  // namespace skelvar
