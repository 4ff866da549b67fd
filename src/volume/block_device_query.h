// What the system says about an open device: its size, logical sector size and,
// for a partition, where it starts on its disk.
#pragma once

#include <cstdint>
#include <string>

namespace skelvar {

struct block_device_facts {
    std::uint64_t size = 0;
    std::uint32_t sector_size = 512;
    bool is_partition = false;
    std::uint64_t partition_start = 0;  // bytes from the start of the whole disk
    std::uint32_t partition_number = 0xFFFFFFFF;
};

// Fills `facts` for a block device (ioctl first, /sys as fallback) or a regular
// file (its size, 512-byte sectors). False for anything else or when the size
// cannot be learned.
bool query_block_device(int fd, block_device_facts& facts);

// Device node of physical drive `number` (0 -> /dev/sda ... 24 -> /dev/sdy);
// empty for numbers outside 0..24.
std::string physical_drive_path(int number);

// True for "c:", "C:\" and "c:/": a Windows drive letter, meaningless here.
bool is_drive_letter_path(const std::string& path);

}  // namespace skelvar
