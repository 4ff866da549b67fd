// One partition found on a disk, and what its first sector says about it.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>

namespace skelvar {

struct partition_info {
    static constexpr std::uint16_t guessed_flag = 0x8000;

    std::uint64_t start_sector = 0;
    std::uint64_t sector_count = 0;  // 0 when unknown
    // MBR type byte, 0xEE for a GPT entry, | guessed_flag for a guessed entry;
    // replaced by the file-system recognition.
    std::uint16_t type = 0;
    std::uint32_t sectors_per_cluster = 0;
    // Sector size of the table, or the boot sector's bytes per sector once recognised.
    std::uint32_t sector_size = 512;
    std::uint64_t volume_serial = 0;
    bool recognised = false;
    bool from_gpt = false;
    std::array<std::uint8_t, 16> type_guid{};
    std::array<std::uint8_t, 16> unique_guid{};
    std::uint64_t gpt_attributes = 0;
    std::string partition_name;   // GPT entries only, UTF-8
    std::string file_system_name;  // "ntfs", "exfat", ... when recognised

    // Units of start_sector and sector_count. They stay the table's sector size
    // unless the count was taken from the boot sector, so positions remain right
    // when a boot sector claims a different sector size than its table.
    std::uint32_t table_sector_size = 512;
    std::uint32_t count_sector_size = 512;

    static partition_info from_table(std::uint64_t start, std::uint64_t count, std::uint16_t type,
                                     std::uint32_t sector_size) {
        partition_info p;
        p.start_sector = start;
        p.sector_count = count;
        p.type = type;
        p.sector_size = p.table_sector_size = p.count_sector_size = sector_size;
        return p;
    }

    // Byte offset of the partition on its disk (saturates instead of wrapping).
    std::uint64_t byte_start() const { return saturating_product(start_sector, table_sector_size); }
    // Byte offset one past the partition's last byte (saturating).
    std::uint64_t byte_end() const {
        const std::uint64_t length = saturating_product(sector_count, count_sector_size);
        const std::uint64_t start = byte_start();
        return length > UINT64_MAX - start ? UINT64_MAX : start + length;
    }

    static std::uint64_t saturating_product(std::uint64_t a, std::uint64_t b) {
        if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
        return a * b;
    }
};

using partition_list = std::deque<partition_info>;

}  // namespace skelvar
