// The -diags log: silent unless a file was named. Lines are "->" + text.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace skelvar {

class diag_log {
public:
    diag_log() = default;
    ~diag_log();
    diag_log(const diag_log&) = delete;
    diag_log& operator=(const diag_log&) = delete;

    // Creates (truncates) the file and writes "->" + command line as its first line.
    // On failure the log stays inactive and the name is cleared.
    bool open(const std::string& path, const std::string& command_line);
    // Logs into memory, from the command line on, until write_to() names the
    // file: nothing is written before the run knows the file is not its evidence.
    void hold(const std::string& command_line);
    // Creates the file with what was held; false (and inactive) when it cannot be created.
    bool write_to(const std::string& path);
    void close();
    bool active() const { return file_ != nullptr || holding_; }
    const std::string& path() const { return path_; }

    // printf-style diagnostics line; a cheap no-op when inactive.
    void line(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // A view: a literal logged on a hot path (a parent record read per entry) makes no string.
    void text(std::string_view text);

private:
    void put(const char* text, std::size_t len);

    std::FILE* file_ = nullptr;
    bool holding_ = false;
    std::string held_;
    std::string path_;
};

}  // namespace skelvar
