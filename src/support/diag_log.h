// The -diags log: silent unless a file was named. Lines are "->" + text.
#pragma once

#include <cstdio>
#include <string>

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
    void close();
    bool active() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }

    // printf-style diagnostics line; a cheap no-op when inactive.
    void line(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void text(const std::string& text);

private:
    std::FILE* file_ = nullptr;
    std::string path_;
};

}  // namespace skelvar
