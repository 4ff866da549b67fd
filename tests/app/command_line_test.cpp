// The program run end to end on command lines that need no $MFT data.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "common/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::run_skelvar;

const char missing_source[] =
    "error: need to specify at least an input source [-mftfile, -image, -drivenum, -partition, -vmdk]\n";

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

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
    auto lines = lines_of(r.err);
    bool in_options = false, in_experimental = false;
    int checked = 0;
    for (const std::string& l : lines) {
        if (l == " Filter 'OR' logic options") in_options = true;
        if (l.rfind(" Experimental option", 0) == 0) in_experimental = true;
        if (!in_options || in_experimental || l.rfind("  ", 0) != 0) continue;
        EXPECT_EQ(l.find('='), 42u) << l;
        ++checked;
    }
    EXPECT_EQ(checked, 43);
    EXPECT_NE(r.err.find("\n         [-raw]                           = incl slack & skip sparse clusters\n"),
              std::string::npos);
    EXPECT_NE(r.err.find("\n  -base10                                 = use base10 vice std::hex \n"),
              std::string::npos);
    EXPECT_NE(r.err.find("  -cpu <#instances> -out <file> = merge instances into 1 file\n"
                         "         [-tempdir <folder>]    = use this temp dir for file merge\n"
                         "         [-separate_files]      = don't merge; each instance is separate file\n\n"),
              std::string::npos);
    // Every group, the last included, is followed by an empty line.
    EXPECT_EQ(r.err.substr(r.err.size() - 2), "\n\n");
}

TEST(BadCommandLines, NoSourceStopsWithMinusOneAndNoOutputFile) {
    fs::path dir = testing_support::scratch_dir("nosrc");
    auto r = run_skelvar({"-csv", "-out", (dir / "res.txt").string()});
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_NE(r.err.find(missing_source), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("invalid cmd options"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "res.txt"));
    // The header still reaches standard output before the options are read.
    EXPECT_EQ(r.out.rfind("skelvar ver: 0.95", 0), 0u);
    fs::remove_all(dir);
}

TEST(BadCommandLines, UnopenableOutputFile) {
    fs::path dir = testing_support::scratch_dir("badout");
    auto r = run_skelvar({"-mftfile", (dir / "none.bin").string(), "-out", dir.string()});
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_EQ(r.err, "prob opening file " + dir.string() + " for output, aborting\ninvalid cmd options, aborting\n");
    fs::remove_all(dir);
}

TEST(BadCommandLines, BadNumberWritesNothing) {
    fs::path dir = testing_support::scratch_dir("badnum");
    auto r = run_skelvar({"-mftfile", (dir / "none.bin").string(), "-mftrange", "ten", "-out",
                          (dir / "res.txt").string()});
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_NE(r.err.find("-mftrange"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "res.txt"));
    fs::remove_all(dir);
}

TEST(Header, GoesToStandardOutputAndTheHeadOfTheResultsFile) {
    fs::path dir = testing_support::scratch_dir("header");
    fs::path out = dir / "deep" / "res.txt";
    auto r = run_skelvar({"-mftfile", (dir / "none.bin").string(), "-out", out.string(), "-quiet"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::string file = testing_support::read_file(out);
    EXPECT_EQ(r.out.rfind("skelvar ver: 0.95", 0), 0u);
    std::size_t end = r.out.find("\n\n");
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(file.substr(0, end + 2), r.out.substr(0, end + 2));
    EXPECT_NE(r.out.find(" -mftfile "), std::string::npos);
    fs::remove_all(dir);
}

TEST(ClosingSteps, EraseOnlyWhenProgressIsShown) {
    fs::path dir = testing_support::scratch_dir("erase");
    const std::string erase = "\x1b[2K\r                           \r";
    auto shown = run_skelvar({"-mftfile", (dir / "none.bin").string()});
    EXPECT_NE(shown.err.find(erase), std::string::npos);
    auto quiet = run_skelvar({"-mftfile", (dir / "none.bin").string(), "-quiet"});
    EXPECT_EQ(quiet.err.find("\x1b[2K"), std::string::npos);
    fs::remove_all(dir);
}

TEST(ClosingSteps, ElapsedTimeWithProfileAndIntoTheDiagsFile) {
    fs::path dir = testing_support::scratch_dir("profile");
    fs::path log = dir / "d.log";
    auto r = run_skelvar({"-mftfile", (dir / "none.bin").string(), "-quiet", "-profile", "-diags", log.string()});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.err.find(" secs\n"), std::string::npos) << r.err;
    std::string text = testing_support::read_file(log);
    EXPECT_EQ(text.rfind("->", 0), 0u);
    EXPECT_NE(text.find(" secs\n"), std::string::npos) << text;
    fs::remove_all(dir);
}

TEST(BadCommandLines, RefusedAndInvalidOptionsWriteNothing) {
    fs::path dir = testing_support::scratch_dir("refused");
    std::string out = (dir / "res.txt").string();
    std::string mft = (dir / "none.bin").string();

    auto sqlite = run_skelvar({"-mftfile", mft, "-out", out, "-sqlite"});
    EXPECT_EQ(sqlite.exit_code, 255);
    EXPECT_EQ(sqlite.err, "This option is not offered in this build\ninvalid cmd options, aborting\n");

    auto sig = run_skelvar({"-mftfile", mft, "-out", out, "-filter_sig", "gif"});
    EXPECT_EQ(sig.exit_code, 255);
    EXPECT_EQ(sig.err, "Error: -filter_sig option specified invalid option, aborting\n");

    EXPECT_FALSE(fs::exists(out));
    fs::remove_all(dir);
}

TEST(BadCommandLines, InstancesNeedAMergeTargetAndTheMftOnly) {
    fs::path dir = testing_support::scratch_dir("cpu");
    std::string mft = (dir / "none.bin").string();
    auto no_out = run_skelvar({"-mftfile", mft, "-cpu", "2", "-quiet"});
    EXPECT_EQ(no_out.exit_code, 255);
    EXPECT_EQ(no_out.err, "Need to specify an output file to put the merged results in [-out <file>]\n");

    auto unalloc = run_skelvar({"-mftfile", mft, "-cpu", "2", "-quiet", "-out", (dir / "r.txt").string(),
                                "-filter_unalloc_clusters"});
    EXPECT_EQ(unalloc.exit_code, 255);
    EXPECT_EQ(unalloc.err, "The -cpu option only supports MFT analysis\n");

    auto one = run_skelvar({"-mftfile", mft, "-cpu", "1", "-quiet"});
    EXPECT_EQ(one.exit_code, 0) << one.err;
    fs::remove_all(dir);
}

const char admin_advice[] =
    "command prompt not running w/ admin privileges...\n"
    "[which is needed for examining live drives/partitions]\n"
    "need to restart cmd prompt using \"Run As Administrator\" option...\n"
    "\n";

TEST(LiveSources, WithoutRootTheAdviceIsPrintedAndTheRunGoesOn) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
    std::string bin = testing_support::skelvar_binary().string();
    auto r = testing_support::run_shell("setpriv --reuid=65534 --regid=65534 --clear-groups '" + bin +
                                        "' -partition c: -quiet </dev/null");
    if (r.exit_code == 126 || r.exit_code == 127) GTEST_SKIP() << "program not reachable as an unprivileged user";
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err.rfind(admin_advice, 0), 0u) << r.err;

    auto root = run_skelvar({"-drivenum", "0", "-quiet"});
    EXPECT_EQ(root.err.find("admin privileges"), std::string::npos);
}

}  // namespace
