// RAW_DISK_IO on POSIX: images through open/pread, devices (block devices, or
// regular files standing in for them) through pread on sector boundaries.
//
// Physical drives are named the Linux way: drive number n is /dev/sd<'a' + n>,
// so 0 is /dev/sda and 24 is /dev/sdy. Windows drive-letter paths ("c:",
// "c:\") name nothing here and leave the reader not ok.
#include "volume/raw_disk_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "volume/block_device_query.h"
#include "volume/sector_alignment.h"

namespace skelvar {

namespace {

// Reads until `length` bytes arrived, the end of the file, or an error.
// Returns the bytes read, or -1 on an error.
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

}  // namespace

RAW_DISK_IO::RAW_DISK_IO(const std::string& path, std::uint32_t kind) : kind_(kind) {
    switch (path.empty() ? kind_none : kind) {
        case kind_image: ok_ = open_image(path); break;
        case kind_volume: ok_ = open_device(path, false); break;
        case kind_device: ok_ = open_device(path, true); break;
        default: open_error_ = "no path to open"; break;
    }
}

RAW_DISK_IO::RAW_DISK_IO(int drive_number) : kind_(kind_physical) {
    if (drive_number < 0 || drive_number > 24) {  // never touches the system
        open_error_ = "no such drive number";
        return;
    }
    ok_ = open_drive(drive_number);
}

RAW_DISK_IO::~RAW_DISK_IO() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ok_ = false;
}

std::uint64_t RAW_DISK_IO::size() const { return ok_ ? size_ : 0; }

bool RAW_DISK_IO::open_image(const std::string& path) {
    image_path_ = path;
    fd_ = open_read_only(path);
    if (fd_ < 0) {
        open_error_ = std::strerror(errno);
        return false;
    }
    // A directory opens read-only too, and some file systems even report a size for it.
    struct stat st {};
    const off_t end = ::fstat(fd_, &st) == 0 && !S_ISDIR(st.st_mode) ? ::lseek(fd_, 0, SEEK_END) : -1;
    if (end < 0) {
        open_error_ = "it is a directory or cannot be sized";
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    size_ = static_cast<std::uint64_t>(end);
    bytes_per_sector_ = 512;
    return true;
}

bool RAW_DISK_IO::open_device(const std::string& path, bool require_geometry) {
    if (path.size() <= 3 && is_drive_letter_path(path)) {
        // Keep the name the system would have been asked for, for messages.
        device_path_ = std::string("\\\\.\\") + path[0] + ":";
        open_error_ = "live volumes by drive letter are not available on this platform";
        return false;
    }
    device_path_ = path;
    fd_ = open_read_only(path);
    if (fd_ < 0) {
        open_error_ = std::strerror(errno);
        return false;
    }
    is_device_ = true;

    block_device_facts facts;
    if (!query_block_device(fd_, facts)) {
        if (require_geometry) {
            open_error_ = "not a block device";
            ::close(fd_);
            fd_ = -1;
            is_device_ = false;
            return false;
        }
        // A live volume that answers no query still opens; its size is
        // whatever seeking to the end says.
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        size_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
        bytes_per_sector_ = 512;
        return true;
    }
    size_ = facts.size;
    bytes_per_sector_ = facts.sector_size ? facts.sector_size : 512;
    if (facts.is_partition) {
        partition_number_ = facts.partition_number;
        partition_start_ = facts.partition_start;
    }
    return true;
}

bool RAW_DISK_IO::open_drive(int drive_number) {
    device_number_ = static_cast<std::uint32_t>(drive_number);
    partition_number_ = 0xFFFFFFFF;
    device_path_ = physical_drive_path(drive_number);
    fd_ = open_read_only(device_path_);
    if (fd_ < 0) {
        open_error_ = device_path_ + ": " + std::strerror(errno);
        return false;
    }
    is_device_ = true;
    block_device_facts facts;
    if (!query_block_device(fd_, facts)) {
        open_error_ = device_path_ + " is not a block device";
        ::close(fd_);
        fd_ = -1;
        is_device_ = false;
        return false;
    }
    size_ = facts.size;
    bytes_per_sector_ = facts.sector_size ? facts.sector_size : 512;
    return true;
}

bool RAW_DISK_IO::read(std::uint8_t* buffer, std::uint32_t& count, std::uint64_t offset) {
    if (!buffer || !ok_ || fd_ < 0 || count == 0 || offset >= size_) return false;
    switch (kind_) {
        case kind_volume:
        case kind_device:
        case kind_physical: return read_device(buffer, count, offset);
        case kind_image: return read_image(buffer, count, offset);
        default: return false;
    }
}

bool RAW_DISK_IO::read_image(std::uint8_t* buffer, std::uint32_t& count, std::uint64_t offset) {
    std::uint32_t want = count;
    if (want > size_ - offset) want = static_cast<std::uint32_t>(size_ - offset);
    const std::int64_t got = pread_until_end(fd_, buffer, want, offset);
    // The file may have shrunk since it was opened: hand back what is there.
    if (got <= 0) return false;
    count = static_cast<std::uint32_t>(got);
    return true;
}

bool RAW_DISK_IO::read_device(std::uint8_t* buffer, std::uint32_t count, std::uint64_t offset) {
    const sector_span span = align_to_sectors(offset, count, bytes_per_sector_);
    // The last sector of a device may lie beyond what it reports (a file
    // standing in for a device need not end on a sector boundary): succeed as
    // long as the bytes asked for arrived.
    const std::uint64_t needed = std::uint64_t{span.lead} + count;
    if (span.aligned(count)) {
        return pread_until_end(fd_, buffer, count, offset) == static_cast<std::int64_t>(count);
    }
    std::unique_ptr<std::uint8_t[]> bounce(new (std::nothrow) std::uint8_t[span.length]);
    if (!bounce) return false;
    const std::int64_t got = pread_until_end(fd_, bounce.get(), span.length, span.start);
    if (got < 0 || static_cast<std::uint64_t>(got) < needed) return false;
    std::memcpy(buffer, bounce.get() + span.lead, count);
    return true;
}

bool RAW_DISK_IO::read_direct(std::uint8_t* buffer, std::uint32_t& count, std::uint64_t offset) {
    if (!buffer || !ok_ || fd_ < 0 || count == 0) return false;
    if (!is_device_) return read(buffer, count, offset);
    const std::int64_t got = pread_until_end(fd_, buffer, count, offset);
    if (got < 0) return false;
    // Past the end of the device the system delivers nothing: those bytes read as zeros.
    if (static_cast<std::uint64_t>(got) < count) std::memset(buffer + got, 0, count - static_cast<std::uint32_t>(got));
    return true;
}

}  // namespace skelvar
