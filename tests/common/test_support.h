// Helpers shared by the test binaries: locating fixtures and running the built program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// Root of the source tree (SKELVAR_SOURCE_DIR, else the one CMake configured).
std::filesystem::path source_dir();

// ../shared/testdata beside the project root; empty path when the folder is absent.
std::filesystem::path shared_testdata_dir();

// The bytes of ../shared/testdata/<name> (gzip files unpacked); empty when absent.
std::vector<std::uint8_t> shared_sample(const std::string& name);

// True when a missing shared sample is an error: tests/run_tests.sh sets
// SKELVAR_REQUIRE_TESTDATA when ../shared/testdata is there.
bool testdata_required();

// Skips the test when a shared sample is absent, fails it when the samples are required.
#define SKIP_WITHOUT_SAMPLE(present, name)                                                        \
    do {                                                                                        \
        if (!(present)) {                                                                       \
            if (testing_support::testdata_required()) FAIL() << "shared testdata missing: " << (name); \
            GTEST_SKIP() << "shared testdata absent: " << (name);                                \
        }                                                                                       \
    } while (0)

// Path of the built skelvar program (SKELVAR_BIN, else the one CMake builds).
std::filesystem::path skelvar_binary();

// A fresh, empty scratch directory under the system temp directory.
std::filesystem::path scratch_dir(const std::string& tag);

struct run_result {
    int exit_code = -1;      // 0..255 as the shell reports it
    std::string out;         // standard output
    std::string err;         // standard error
};

// Runs skelvar with the given arguments (no shell quoting needed).
run_result run_skelvar(const std::vector<std::string>& args);

// Runs an arbitrary command line through /bin/sh, capturing standard output.
run_result run_shell(const std::string& command);

std::string read_file(const std::filesystem::path& path);
std::vector<std::uint8_t> read_bytes(const std::filesystem::path& path);

// Decompresses a .gz fixture into the scratch directory and returns the new path.
std::filesystem::path gunzip_to(const std::filesystem::path& gz, const std::filesystem::path& dir);

}  // namespace testing_support
