// An extracted $MFT file. The range walk reads it front to back, so its reads
// are served from a large read-ahead window; scattered reads (parent
// directories, extension records) go straight to pread.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ntfs/mft_source.h"

namespace skelvar {

namespace {

class mft_file_source final : public mft_source {
public:
    explicit mft_file_source(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~mft_file_source() override {
        if (fd_ >= 0) ::close(fd_);
    }

    bool ready() const override { return fd_ >= 0; }
    std::uint64_t size_bytes() const override { return size_; }
    bool is_extracted_file() const override { return true; }

    bool read_at(std::uint64_t offset, std::uint32_t length, std::uint8_t* out) override {
        if (fd_ < 0 || offset > size_ || length > size_ - offset) return false;
        if (offset >= win_start_ && offset + length <= win_start_ + win_len_) {
            std::memcpy(out, window_.data() + (offset - win_start_), length);
            return true;
        }
        // A read that continues the window, or two misses in a row, is the walk
        // moving on: refill. Anything else is a scattered lookup and leaves the
        // window where the walk will want it next.
        const bool streaming = offset == win_start_ + win_len_ || offset == last_miss_end_;
        last_miss_end_ = offset + length;
        if (streaming && length <= window_size) {
            if (!fill_window(offset)) return false;
            if (length > win_len_) return false;
            std::memcpy(out, window_.data(), length);
            return true;
        }
        return pread_all(offset, length, out);
    }

    bool read_direct(std::uint64_t offset, std::uint32_t length, std::uint8_t* out) override {
        if (fd_ < 0 || offset > size_ || length > size_ - offset) return false;
        return pread_all(offset, length, out);
    }

private:
    static constexpr std::size_t window_size = 1 << 20;

    bool pread_all(std::uint64_t offset, std::size_t length, std::uint8_t* out) {
        std::size_t done = 0;
        while (done < length) {
            ssize_t n = ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool fill_window(std::uint64_t offset) {
        if (window_.empty()) window_.resize(window_size);
        std::uint64_t want = size_ - offset < window_size ? size_ - offset : window_size;
        win_start_ = offset;
        win_len_ = 0;
        if (!pread_all(offset, static_cast<std::size_t>(want), window_.data())) return false;
        win_len_ = want;
        return true;
    }

    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::vector<std::uint8_t> window_;
    std::uint64_t win_start_ = 0, win_len_ = 0;
    std::uint64_t last_miss_end_ = ~0ull;
};

}  // namespace

std::unique_ptr<mft_source> open_mft_file(const std::string& path, std::string& reason) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        reason = "not a regular file";
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<mft_file_source>(fd, static_cast<std::uint64_t>(st.st_size));
}

}  // namespace skelvar
