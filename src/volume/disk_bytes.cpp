#include "volume/disk_bytes.h"

#include <algorithm>
#include <cstring>

#include "volume/raw_disk_io.h"

namespace skelvar {

std::uint32_t disk_bytes::read_zeroed(std::uint64_t offset, std::uint32_t length, std::vector<std::uint8_t>& out) {
    out.assign(length, 0);
    if (length == 0) return 0;
    return read(offset, out.data(), length);
}

std::uint64_t reader_disk_bytes::size() const { return reader_.size(); }

std::uint32_t reader_disk_bytes::native_sector_size() const {
    // 512 for image files; a device's or container's own logical sector size otherwise.
    return reader_.bytes_per_sector();
}

std::uint32_t reader_disk_bytes::read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) {
    const std::uint64_t size = reader_.size();
    if (offset >= size || count == 0) return 0;
    // Devices do not shorten reads at their end the way images do.
    std::uint32_t want = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, size - offset));
    if (!reader_.read(out, want, offset)) return 0;
    return want;
}

std::uint32_t memory_disk_bytes::read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) {
    if (offset >= bytes_.size() || count == 0) return 0;
    const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, bytes_.size() - offset));
    std::memcpy(out, bytes_.data() + offset, n);
    return n;
}

}  // namespace skelvar
