// In-memory disks for the partition tests: tables and boot sectors written byte by byte.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace volume_test {

struct disk_image {
    std::vector<std::uint8_t> bytes;

    explicit disk_image(std::size_t size) : bytes(size, 0) {}

    void put(std::size_t offset, std::uint64_t value, int width) {
        for (int i = 0; i < width; ++i) bytes.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }
    void text(std::size_t offset, const std::string& s) { std::memcpy(&bytes.at(offset), s.data(), s.size()); }

    // Boot signature 0xAA55 ending the sector (or larger table sector) at `sector_offset`.
    void signature(std::size_t sector_offset, std::size_t sector_size = 512) {
        put(sector_offset + sector_size - 2, 0xAA55, 2);
    }
    // Partition entry `index` of the table sector at byte `sector_offset`.
    void entry(std::size_t sector_offset, int index, std::uint8_t type, std::uint32_t start, std::uint32_t count) {
        const std::size_t e = sector_offset + 446 + 16 * index;
        bytes.at(e + 4) = type;
        put(e + 8, start, 4);
        put(e + 12, count, 4);
    }
};

}  // namespace volume_test
