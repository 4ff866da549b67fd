// The program run end to end on command lines that need no $MFT data.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::run_skelvar;

// Each run gets a scratch folder and an $MFT path that does not exist.
class Run : public testing::Test {
protected:
    void SetUp() override {
        dir_ = testing_support::scratch_dir("cmdline");
        mft_ = (dir_ / "none.bin").string();
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
    std::string mft_;
};

TEST(Usage, EveryHelpFormExitsZeroWithUsageOnStandardError) {
    const std::vector<std::vector<std::string>> forms = {
        {}, {"-h"}, {"-help"}, {"/?"}, {"--help"}, {"-csv", "-mftfile", "x", "--help"}, {"-out", "-h"}};
    for (const auto& args : forms) {
        auto r = run_skelvar(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_EQ(r.err.rfind("-----------------------------------------------------------------------------\n\n"
                              "skelvar ver: 0.95\n\nusage:\n\n",
                              0),
                  0u);
    }
}

TEST(Usage, OptionLinesHaveTheirEqualsSignInColumn43) {
    auto r = run_skelvar({"-h"});
    std::istringstream in(r.err);
    bool in_options = false, in_experimental = false;
    int checked = 0;
    for (std::string l; std::getline(in, l);) {
        if (l == " Filter 'OR' logic options") in_options = true;
        if (l.rfind(" Experimental option", 0) == 0) in_experimental = true;
        if (!in_options || in_experimental || l.rfind("  ", 0) != 0) continue;
        EXPECT_EQ(l.find('='), 42u) << l;
        ++checked;
    }
    EXPECT_EQ(checked, 44);
    // Every group, the last included, is followed by an empty line.
    EXPECT_EQ(r.err.substr(r.err.size() - 2), "\n\n");
}

TEST_F(Run, NoSourceStopsWithMinusOneAndNoOutputFile) {
    auto r = run_skelvar({"-csv", "-out", (dir_ / "res.txt").string()});
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_NE(r.err.find("error: need to specify at least an input source "
                         "[-mftfile, -image, -drivenum, -partition, -vmdk]\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("invalid cmd options"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "res.txt"));
    // The header still reaches standard output before the options are read.
    EXPECT_EQ(r.out.rfind("skelvar ver: 0.95", 0), 0u);
}

TEST_F(Run, BadOptionsStopBeforeAnythingIsWritten) {
    std::string out = (dir_ / "res.txt").string();
    auto unopenable = run_skelvar({"-mftfile", mft_, "-out", dir_.string()});
    EXPECT_EQ(unopenable.exit_code, 255);
    EXPECT_EQ(unopenable.err,
              "prob opening file " + dir_.string() + " for output, aborting\ninvalid cmd options, aborting\n");

    auto sig = run_skelvar({"-mftfile", mft_, "-out", out, "-filter_sig", "gif"});
    EXPECT_EQ(sig.exit_code, 255);
    EXPECT_EQ(sig.err, "Error: -filter_sig option specified invalid option, aborting\n");
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(Run, HeaderGoesToStandardOutputAndTheHeadOfTheResultsFile) {
    fs::path out = dir_ / "deep" / "res.txt";
    const fs::path sample = testing_support::source_dir() / "samples" / "basic.mft";
    auto r = run_skelvar({"-mftfile", sample.string(), "-out", out.string(), "-quiet", "-mftrange", "1"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::string file = testing_support::read_file(out);
    EXPECT_EQ(r.out.rfind("skelvar ver: 0.95", 0), 0u);
    std::size_t end = r.out.find("\n\n");
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(file.substr(0, end + 2), r.out.substr(0, end + 2));
    EXPECT_NE(r.out.find(" -mftfile "), std::string::npos);
}

// A source that cannot be read says why (the other cases are in tests/hostile), and the run still ends
// with 0: a walk that cannot start does not change the exit code.
TEST_F(Run, UnreadableSourcesSayWhy) {
    const std::string mft = (testing_support::source_dir() / "samples" / "basic.mft").string();
    const std::string junk = (dir_ / "junk.mft").string();
    std::ofstream(junk, std::ios::binary) << "JUNK" << testing_support::read_file(mft).substr(4);
    auto r = run_skelvar({"-mftfile", junk, "-quiet"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.err.find(junk + ": record 0 is unreadable: no FILE signature (it starts with \"JUNK\"), nothing to "
                                "report\n"),
              std::string::npos)
        << r.err;
    // An option whose work is not built yet says so.
    auto objid = run_skelvar({"-mftfile", mft, "-quiet", "-find_objid", "{01234567-89ab-cdef-0123-456789abcdef}"});
    EXPECT_NE(objid.err.find("the object id search is not built yet"), std::string::npos) << objid.err;
    // An extracted $MFT has no free clusters to carve.
    auto carve = run_skelvar({"-mftfile", mft, "-quiet", "-filter_unalloc_clusters"});
    EXPECT_NE(carve.err.find(": an extracted $MFT holds no clusters to scan, nothing carved\n"), std::string::npos)
        << carve.err;
}

}  // namespace
