// The one reader through which every byte of an image, device or virtual disk
// is read. Offsets are relative to the start of what was opened.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "volume/container_format.h"
#include "volume/virtual_disk.h"

namespace skelvar {

class RAW_DISK_IO {
public:
    enum : std::uint32_t {
        kind_image = 0,
        kind_volume = 1,
        kind_device = 2,
        kind_physical = 3,
        kind_vmdk = 4,
        kind_none = 8,
    };

    // Image file (kind 0), live volume (1) or device path (2). An image that is
    // a block device is read like a device; one that is a container (VMDK,
    // E01/Ex01, VHD/VHDX, QCOW) is read as the guest disk inside it.
    RAW_DISK_IO(const std::string& path, std::uint32_t kind);
    // Physical drive by number; 25 or more never touches the system.
    explicit RAW_DISK_IO(int drive_number);
    // VMDK chain (kind 4): the files in any order, every one named.
    explicit RAW_DISK_IO(const std::vector<std::string>& vmdk_paths);
    virtual ~RAW_DISK_IO();
    RAW_DISK_IO(const RAW_DISK_IO&) = delete;
    RAW_DISK_IO& operator=(const RAW_DISK_IO&) = delete;

    bool ok() const { return ok_; }
    std::uint32_t kind() const { return kind_; }
    std::uint32_t bytes_per_sector() const { return bytes_per_sector_; }
    const std::string& device_path() const { return device_path_; }
    const std::string& image_path() const { return image_path_; }
    // Drive number of a physical drive; all-ones when unknown.
    std::uint32_t device_number() const { return device_number_; }
    // Partition number and byte start on its disk of a live volume; all-ones / 0 when unknown.
    std::uint32_t partition_number() const { return partition_number_; }
    std::uint64_t partition_start() const { return partition_start_; }
    // 0 when not ok.
    std::uint64_t size() const;
    // Why the open failed, one line each ending in '\n'; empty when ok or unknown.
    const std::string& open_error() const { return open_error_; }
    // What an image file turned out to hold.
    container_kind container() const { return container_; }

    // Reads `count` bytes at `offset`; near the end of an image the count is lowered.
    bool read(std::uint8_t* buffer, std::uint32_t& count, std::uint64_t offset);
    // One unaligned read; at the end of a device the rest is zero-filled.
    bool read_direct(std::uint8_t* buffer, std::uint32_t& count, std::uint64_t offset);

private:
    bool open_image(const std::string& path);
    bool open_container(const std::string& path, container_kind kind);
    bool take_block_device_facts(bool required);
    bool open_device(const std::string& path, bool require_geometry);
    bool open_drive(int drive_number);
    bool read_device(std::uint8_t* buffer, std::uint32_t count, std::uint64_t offset);
    bool read_image(std::uint8_t* buffer, std::uint32_t& count, std::uint64_t offset);

    std::unique_ptr<virtual_disk> disk_;  // a container's guest disk, read instead of fd_
    container_kind container_ = container_kind::raw;
    std::string open_error_;
    std::string device_path_;
    std::string image_path_;
    std::uint32_t device_number_ = 0xFFFFFFFF;
    std::uint32_t partition_number_ = 0xFFFFFFFF;
    int fd_ = -1;
    bool is_device_ = false;
    std::uint32_t bytes_per_sector_ = 512;
    std::uint64_t partition_start_ = 0;
    std::uint32_t kind_ = kind_none;
    bool ok_ = false;
    std::uint64_t size_ = 0;
};

}  // namespace skelvar
