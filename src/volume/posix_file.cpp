#include "volume/posix_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace skelvar {

std::int64_t pread_until_end(int fd, std::uint8_t* out, std::uint64_t length, std::uint64_t offset) {
    constexpr std::uint64_t max_off = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    std::uint64_t done = 0;
    while (done < length) {
        if (offset + done > max_off) break;
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length - done, 1u << 30));
        const ssize_t n = ::pread(fd, out + done, chunk, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::uint64_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

int open_read_only(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

posix_file::~posix_file() {
    if (fd_ >= 0) ::close(fd_);
}

bool posix_file::open(const std::string& path, std::string& error) {
    const int fd = open_read_only(path);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "not a regular file";
        ::close(fd);
        return false;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    return true;
}

std::uint32_t posix_file::read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) {
    if (fd_ < 0 || offset >= size_ || count == 0) return 0;
    const std::int64_t got = pread_until_end(fd_, out, std::min<std::uint64_t>(count, size_ - offset), offset);
    return got > 0 ? static_cast<std::uint32_t>(got) : 0;
}

}  // namespace skelvar
