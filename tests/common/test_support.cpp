#include "common/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

namespace testing_support {

// CMake defines the defaults for every test binary.
fs::path source_dir() {
    const char* s = std::getenv("SKELVAR_SOURCE_DIR");
    return fs::path(s ? s : SKELVAR_SOURCE_DIR_DEFAULT);
}

fs::path shared_testdata_dir() {
    fs::path p = source_dir().parent_path() / "shared" / "testdata";
    std::error_code ec;
    return fs::is_directory(p, ec) ? p : fs::path();
}

fs::path skelvar_binary() {
    const char* s = std::getenv("SKELVAR_BIN");
    return fs::path(s ? s : SKELVAR_BIN_DEFAULT);
}

fs::path scratch_dir(const std::string& tag) {
    static std::mt19937_64 rng{std::random_device{}()};
    fs::path p = fs::temp_directory_path() /
                 ("skelvar-" + tag + "-" + std::to_string(::getpid()) + "-" + std::to_string(rng() % 1000000));
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

static std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

run_result run_shell(const std::string& command) {
    run_result r;
    fs::path errf = scratch_dir("stderr") / "err.txt";
    std::string cmd = command + " 2>" + shell_quote(errf.string());
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = ::pclose(p);
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = read_file(errf);
    fs::remove_all(errf.parent_path());
    return r;
}

run_result run_skelvar(const std::vector<std::string>& args) {
    std::string cmd = shell_quote(skelvar_binary().string());
    for (const auto& a : args) cmd += ' ' + shell_quote(a);
    return run_shell(cmd + " </dev/null");
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> read_bytes(const fs::path& path) {
    const std::string s = read_file(path);
    return {s.begin(), s.end()};
}

fs::path gunzip_to(const fs::path& gz, const fs::path& dir) {
    fs::path out = dir / gz.stem();
    run_shell("gzip -dc " + shell_quote(gz.string()) + " > " + shell_quote(out.string()));
    return out;
}

std::vector<std::uint8_t> shared_sample(const std::string& name) {
    const fs::path dir = shared_testdata_dir();
    if (dir.empty()) return {};
    std::error_code ec;
    if (fs::exists(dir / name, ec)) return read_bytes(dir / name);
    if (!fs::exists(dir / (name + ".gz"), ec)) return {};
    const std::string text = run_shell("gzip -dc " + shell_quote((dir / (name + ".gz")).string())).out;
    return {text.begin(), text.end()};
}

bool testdata_required() {
    const char* v = std::getenv("SKELVAR_REQUIRE_TESTDATA");
    return v && *v && std::string(v) != "0";
}

}  // namespace testing_support
