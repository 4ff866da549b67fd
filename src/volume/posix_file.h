// A regular file read by position: the extents of a virtual disk, and the
// reads of RAW_DISK_IO itself.
#pragma once

#include <cstdint>
#include <string>

#include "volume/disk_bytes.h"

namespace skelvar {

// Reads until `length` bytes arrived, the end of the file, or an error.
// Returns the bytes read, or -1 on an error.
std::int64_t pread_until_end(int fd, std::uint8_t* out, std::uint64_t length, std::uint64_t offset);

// open(2) read-only, retried on EINTR; -1 on failure (errno kept).
int open_read_only(const std::string& path);

class posix_file final : public disk_bytes {
public:
    posix_file() = default;
    ~posix_file() override;
    posix_file(const posix_file&) = delete;
    posix_file& operator=(const posix_file&) = delete;

    // A regular file only; on failure `error` says why (the system's words).
    bool open(const std::string& path, std::string& error);
    bool is_open() const { return fd_ >= 0; }

    std::uint64_t size() const override { return size_; }
    std::uint32_t read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) override;

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

}  // namespace skelvar
