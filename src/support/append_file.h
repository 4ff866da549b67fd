// A file written only at its end, to which the tails of other files are
// appended inside the kernel where it can (the merge of instance files copies
// the whole results this way, without passing them through user space).
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
    bool write(std::string_view text);
    // Appends the bytes of the file `source` from `offset` to its end; false
    // when `source` cannot be read or the copy fails.
    bool append_tail(const std::string& source, std::uint64_t offset);
    // False when a write failed or the file could not be closed.
    bool close();

private:
    bool copy_by_reading(int in, std::uint64_t offset);

    int fd_ = -1;
    bool ok_ = true;
};

}  // namespace skelvar
