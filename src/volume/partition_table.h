// Reads the partition table of a disk: an MBR with its chain of extended boot
// records, or a GPT behind a protective MBR; each partition's file system is
// recognised from its first sector.
#pragma once

#include <cstdint>
#include <span>

#include "volume/disk_bytes.h"
#include "volume/partition_info.h"

namespace skelvar {

class RAW_DISK_IO;

enum class first_sector_kind { partition_table, volume_boot, ext_volume, unrecognised };

struct first_sector_class {
    first_sector_kind kind = first_sector_kind::unrecognised;
    std::uint32_t table_sector_size = 512;  // for partition_table
};

// What the first bytes of a disk are (pass up to 16384 of them).
first_sector_class classify_first_sector(std::span<const std::uint8_t> bytes);

// 0xAA55 at 510 and no volume boot sector signature at 3.
bool is_partition_table_sector(std::span<const std::uint8_t> sector);

// Fills `records` (cleared first) in the order found; true when at least one
// was found. With `guess`, a disk whose first sector is no table is searched
// for an extended boot record in its first MiB.
bool list_partitions(disk_bytes& disk, partition_list& records, bool guess);
bool list_partitions(RAW_DISK_IO& reader, partition_list& records, bool guess);
// The same rules on bytes in memory; reads beyond them fail.
bool list_partitions(std::span<const std::uint8_t> bytes, partition_list& records, bool guess);

// Bounds that keep a hostile table from looping or growing without end.
inline constexpr std::size_t max_partition_records = 4096;
inline constexpr std::size_t max_extended_links = 1024;

}  // namespace skelvar
