// RAW_DISK_IO on POSIX: images through open/pread, devices (block devices, or
// regular files standing in for them) through pread on sector boundaries, and
// containers through their virtual_disk.
//
// Physical drives are named the Linux way: drive number n is /dev/sd<'a' + n>,
// so 0 is /dev/sda and 24 is /dev/sdy. Windows drive-letter paths ("c:",
// "c:\") name nothing here and leave the reader not ok.
#include "volume/raw_disk_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "volume/block_device_query.h"
#include "volume/posix_file.h"
#include "volume/sector_alignment.h"
#include "volume/vmdk_chain.h"

namespace skelvar {

namespace {

void add_line(std::string& text, const std::string& line) {
    text += line;
    if (text.empty() || text.back() != '\n') text += '\n';
}

}  // namespace

RAW_DISK_IO::RAW_DISK_IO(const std::string& path, std::uint32_t kind) : kind_(kind) {
    if (path.empty()) return;
    switch (kind) {
        case kind_image: ok_ = open_image(path); break;
        case kind_volume: ok_ = open_device(path, false); break;
        case kind_device: ok_ = open_device(path, true); break;
        default: break;
    }
}

RAW_DISK_IO::RAW_DISK_IO(int drive_number) : kind_(kind_physical) {
    if (drive_number < 0 || drive_number > 24) return;  // never touches the system
    ok_ = open_drive(drive_number);
}

RAW_DISK_IO::RAW_DISK_IO(const std::vector<std::string>& vmdk_paths) : kind_(kind_vmdk) {
    if (vmdk_paths.empty()) return;
    auto chain = std::make_unique<vmdk_chain>();
    if (!chain->open(vmdk_paths, false, open_error_)) {
        if (chain->parents_found_by_hint()) {
            std::string names;
            for (const std::string& p : chain->suggested()) names += (names.empty() ? "" : " | ") + p;
            add_line(open_error_, "suggested array: -vmdk \"" + names + "\"");
        }
        return;
    }
    image_path_ = chain->disks().front()->path();
    container_ = container_kind::vmdk;
    size_ = chain->size();
    bytes_per_sector_ = 512;
    disk_ = std::move(chain);
    ok_ = true;
}

RAW_DISK_IO::~RAW_DISK_IO() {
    disk_.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ok_ = false;
}

std::uint64_t RAW_DISK_IO::size() const { return ok_ ? size_ : 0; }

bool RAW_DISK_IO::open_image(const std::string& path) {
    image_path_ = path;
    fd_ = open_read_only(path);
    if (fd_ < 0) {
        add_line(open_error_, std::strerror(errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        add_line(open_error_, "a folder, not an image");
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    // An attached drive given as an image is read in its own sector size.
    if (S_ISBLK(st.st_mode)) return take_block_device_facts(true);

    const off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0) {
        add_line(open_error_, std::strerror(errno));
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    size_ = static_cast<std::uint64_t>(end);
    bytes_per_sector_ = 512;
    if (!S_ISREG(st.st_mode)) return true;

    std::uint8_t head[512] = {};
    std::uint8_t tail[512] = {};
    const bool has_tail = size_ >= 1024 && pread_until_end(fd_, tail, 512, size_ - 512) == 512;
    if (pread_until_end(fd_, head, sizeof head, 0) < 0) return true;  // reads will say so
    const container_kind kind = detect_container(head, has_tail ? std::span<const std::uint8_t>(tail)
                                                                : std::span<const std::uint8_t>());
    if (kind == container_kind::raw) return true;
    ::close(fd_);
    fd_ = -1;
    return open_container(path, kind);
}

bool RAW_DISK_IO::open_container(const std::string& path, container_kind kind) {
    container_ = kind;
    std::string error;
    disk_ = skelvar::open_container(path, kind, error);
    if (!disk_) {
        // A one-line reason follows the container's name; a listing (a VMDK chain's) goes below it.
        const std::string name = std::string(container_name(kind)) + " image:";
        const std::size_t nl = error.find('\n');
        if (nl == std::string::npos || nl + 1 == error.size()) {
            add_line(open_error_, name + " " + error);
        } else {
            add_line(open_error_, name);
            add_line(open_error_, error);
        }
        return false;
    }
    size_ = disk_->size();
    bytes_per_sector_ = disk_->sector_size();
    return true;
}

bool RAW_DISK_IO::take_block_device_facts(bool required) {
    is_device_ = true;
    block_device_facts facts;
    if (!query_block_device(fd_, facts)) {
        if (required) {
            add_line(open_error_, "the system says nothing of its size or sector size");
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

bool RAW_DISK_IO::open_device(const std::string& path, bool require_geometry) {
    if (path.size() <= 3 && is_drive_letter_path(path)) {
        // Keep the name the system would have been asked for, for messages.
        device_path_ = std::string("\\\\.\\") + path[0] + ":";
        add_line(open_error_, "drive letters name nothing on this system");
        return false;
    }
    device_path_ = path;
    fd_ = open_read_only(path);
    if (fd_ < 0) {
        add_line(open_error_, std::strerror(errno));
        return false;
    }
    return take_block_device_facts(require_geometry);
}

bool RAW_DISK_IO::open_drive(int drive_number) {
    device_number_ = static_cast<std::uint32_t>(drive_number);
    partition_number_ = 0xFFFFFFFF;
    device_path_ = physical_drive_path(drive_number);
    fd_ = open_read_only(device_path_);
    if (fd_ < 0) {
        add_line(open_error_, device_path_ + ": " + std::strerror(errno));
        return false;
    }
    if (!take_block_device_facts(true)) return false;
    partition_number_ = 0xFFFFFFFF;
    return true;
}

bool RAW_DISK_IO::read(std::uint8_t* buffer, std::uint32_t& count, std::uint64_t offset) {
    if (!buffer || !ok_ || count == 0 || offset >= size_) return false;
    if (disk_) {
        // Like an image file: a read running past the end is shortened.
        const std::uint32_t want = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, size_ - offset));
        if (!disk_->read(offset, buffer, want)) return false;
        count = want;
        return true;
    }
    if (fd_ < 0) return false;
    if (is_device_) return read_device(buffer, count, offset);
    if (kind_ == kind_image) return read_image(buffer, count, offset);
    return false;
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
    if (!buffer || !ok_ || count == 0) return false;
    if (disk_ || !is_device_) return read(buffer, count, offset);
    if (fd_ < 0) return false;
    const std::int64_t got = pread_until_end(fd_, buffer, count, offset);
    if (got < 0) return false;
    // Past the end of the device the system delivers nothing: those bytes read as zeros.
    if (static_cast<std::uint64_t>(got) < count) std::memset(buffer + got, 0, count - static_cast<std::uint32_t>(got));
    return true;
}

}  // namespace skelvar
