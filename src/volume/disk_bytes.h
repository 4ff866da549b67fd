// A byte range read by position: the disk partition detection looks at (opened
// through RAW_DISK_IO, or a buffer already in memory), or a container file.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace skelvar {

class RAW_DISK_IO;

class disk_bytes {
public:
    virtual ~disk_bytes() = default;
    virtual std::uint64_t size() const = 0;
    // Logical sector size the medium reports (512 for images and buffers).
    virtual std::uint32_t native_sector_size() const { return 512; }
    // Reads up to `count` bytes at `offset`, shortened at the end of the disk.
    // Returns the bytes read; 0 is a failed read.
    virtual std::uint32_t read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) = 0;

    // `length` bytes at `offset` into `out` (resized and zeroed first, so
    // whatever lies beyond the disk reads as zeros). Returns the bytes read.
    std::uint32_t read_zeroed(std::uint64_t offset, std::uint32_t length, std::vector<std::uint8_t>& out);
};

class reader_disk_bytes final : public disk_bytes {
public:
    explicit reader_disk_bytes(RAW_DISK_IO& reader) : reader_(reader) {}
    std::uint64_t size() const override;
    std::uint32_t native_sector_size() const override;
    std::uint32_t read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) override;

private:
    RAW_DISK_IO& reader_;
};

class memory_disk_bytes final : public disk_bytes {
public:
    explicit memory_disk_bytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::uint32_t read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) override;

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace skelvar
