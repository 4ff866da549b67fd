#include "support/append_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace skelvar {

namespace {

bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

append_file::~append_file() { close(); }

bool append_file::create(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ok_ = fd_ >= 0;
    return ok_;
}

bool append_file::write(std::string_view text) {
    ok_ = ok_ && fd_ >= 0 && write_all(fd_, text.data(), text.size());
    return ok_;
}

bool append_file::append_tail(const std::string& source, std::uint64_t offset) {
    if (fd_ < 0) return false;
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    off_t from = static_cast<off_t>(offset);
    bool done = false;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, &from, fd_, nullptr, std::size_t{1} << 30, 0);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        done = n == 0;
        break;
    }
    // Some file systems (and older kernels across file systems) refuse the
    // in-kernel copy; what it copied so far stays, the rest is read and written.
    const bool copied = done || copy_by_reading(in, static_cast<std::uint64_t>(from));
    ::close(in);
    ok_ = ok_ && copied;
    return copied;
}

bool append_file::copy_by_reading(int in, std::uint64_t offset) {
    constexpr std::size_t block = std::size_t{1} << 20;
    std::unique_ptr<char[]> buf(new char[block]);
    for (;;) {
        const ssize_t n = ::pread(in, buf.get(), block, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!write_all(fd_, buf.get(), static_cast<std::size_t>(n))) return false;
        offset += static_cast<std::uint64_t>(n);
    }
}

bool append_file::close() {
    if (fd_ < 0) return ok_;
    ok_ = ::close(fd_) == 0 && ok_;
    fd_ = -1;
    return ok_;
}

}  // namespace skelvar
