// The results file of a merge: a text written at its start, then the tails of
// other files copied to given offsets, inside the kernel where it can, so that
// the bytes do not pass through user space.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace skelvar {

class append_file {
public:
    append_file() = default;
    append_file(const append_file&) = delete;
    append_file& operator=(const append_file&) = delete;
    ~append_file();

    // Creates the file, or empties an existing one.
    bool create(const std::string& path);
    // Writes at the current end; not to be mixed with copies still running.
    bool write(std::string_view text);
    // Copies `length` bytes of the file `source` from `from` to offset `at`.
    // False when `source` cannot be read, is shorter, or the copy fails.
    bool copy_at(const std::string& source, std::uint64_t from, std::uint64_t length, std::uint64_t at) const;
    // False when a write failed or the file could not be closed.
    bool close();

private:
    int fd_ = -1;
    bool ok_ = true;
};

}  // namespace skelvar
