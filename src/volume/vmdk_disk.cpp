#include "volume/vmdk_disk.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "volume/posix_file.h"

namespace skelvar {

namespace {

// Descriptors are a few hundred bytes in a reserved area of 10 KiB; more is not text worth reading.
constexpr std::uint64_t max_descriptor_bytes = 64 * 1024;

}  // namespace

bool vmdk_disk::open(const std::string& path, std::string& error) {
    auto file = std::make_unique<posix_file>();
    if (!file->open(path, error)) return false;
    path_ = path;
    return open(std::move(file), error);
}

bool vmdk_disk::open(std::unique_ptr<disk_bytes> file, std::string& error) {
    file_ = std::move(file);
    std::vector<std::uint8_t> bytes;
    const std::uint32_t got = file_->read_zeroed(0, 512, bytes);
    if (is_descriptor_file(bytes)) {
        error = "a descriptor file: flat and split VMDKs are not read, only monolithic sparse ones";
        return false;
    }
    if (got < 512) {
        error = file_->size() < 512 ? "shorter than a sparse extent header" : "header cannot be read";
        return false;
    }
    if (!decode_sparse_header(bytes, header_, error)) return false;

    const std::uint64_t size = file_->size();
    if (header_.descriptor_offset >= size / vmdk_sector_bytes) {
        error = "descriptor at sector " + std::to_string(header_.descriptor_offset) + " lies beyond the end of the file";
        return false;
    }
    const std::uint64_t at = header_.descriptor_offset * vmdk_sector_bytes;
    const std::uint64_t wanted = std::min(header_.descriptor_size, max_descriptor_bytes / vmdk_sector_bytes) *
                                 vmdk_sector_bytes;
    const std::uint32_t length = static_cast<std::uint32_t>(std::min(wanted, size - at));
    if (file_->read_zeroed(at, length, bytes) != length) {
        error = "descriptor cannot be read";
        return false;
    }
    descriptor_ = parse_vmdk_descriptor(bytes);
    return grains_.load(*file_, header_, error);
}

bool vmdk_disk::read_file(std::uint64_t file_offset, std::uint8_t* out, std::uint32_t count) {
    const std::uint64_t size = file_->size();
    std::uint32_t got = 0;
    if (file_offset < size) {
        got = file_->read(file_offset, out, count);
        if (got == 0) return false;
    }
    if (got < count) std::memset(out + got, 0, count - got);
    return true;
}

}  // namespace skelvar
