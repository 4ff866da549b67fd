#include "support/append_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "support/write_all.h"

namespace skelvar {

namespace {

// Some file systems (and kernels between file systems) refuse the in-kernel
// copy; what it copied stays, the rest is read and written here.
bool copy_by_reading(int in, off_t from, int out, off_t at, std::uint64_t length) {
    constexpr std::size_t block = std::size_t{1} << 20;
    std::unique_ptr<char[]> buf(new char[block]);
    while (length > 0) {
        const ssize_t n = ::pread(in, buf.get(), std::min<std::uint64_t>(block, length), from);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::pwrite(out, buf.get() + done, static_cast<std::size_t>(n - done), at + done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return false;
            done += w;
        }
        from += n;
        at += n;
        length -= static_cast<std::uint64_t>(n);
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
    ok_ = ok_ && fd_ >= 0 && write_all(fd_, text.data(), text.size()) == 0;
    return ok_;
}

bool append_file::copy_at(const std::string& source, std::uint64_t from, std::uint64_t length,
                          std::uint64_t at) const {
    if (fd_ < 0) return false;
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    off_t in_off = static_cast<off_t>(from), out_off = static_cast<off_t>(at);
    while (length > 0) {
        const ssize_t n = ::copy_file_range(in, &in_off, fd_, &out_off, std::min<std::uint64_t>(length, 1u << 30), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        length -= static_cast<std::uint64_t>(n);
    }
    const bool copied = length == 0 || copy_by_reading(in, in_off, fd_, out_off, length);
    ::close(in);
    return copied;
}

bool append_file::close() {
    if (fd_ < 0) return ok_;
    ok_ = ::close(fd_) == 0 && ok_;
    fd_ = -1;
    return ok_;
}

}  // namespace skelvar
