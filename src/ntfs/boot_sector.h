// The NTFS boot sector and the volume geometry derived from it.
#pragma once

#include <cstdint>
#include <span>

namespace skelvar {

struct boot_geometry {
    std::uint32_t bytes_per_sector = 0;
    std::uint32_t sectors_per_cluster = 0;
    std::uint32_t cluster_size = 0;
    std::uint32_t record_size = 0;          // from the clusters-per-record byte
    std::uint32_t clusters_per_record = 0;  // 0 when a record is smaller than a cluster
    std::uint64_t total_sectors = 0;
    std::uint64_t total_clusters = 0;
    std::uint64_t mft_cluster = 0;
    std::uint64_t mft_offset = 0;           // relative to the volume start
    std::uint64_t volume_size = 0;          // total sectors x bytes per sector
};

enum class boot_status { ok, not_ntfs, bad_geometry };

// Decodes the first sector of a volume. `not_ntfs` when the OEM identifier is
// not "NTFS    "; `bad_geometry` when the numbers cannot describe a volume
// (0 or odd sector and cluster sizes, a $MFT outside the volume, ...).
boot_status parse_boot_sector(std::span<const std::uint8_t> sector, boot_geometry& geometry);

// Shrinks the geometry to the `bytes` that hold the volume: a boot sector may
// claim more sectors than its partition or image has.
void clamp_geometry(boot_geometry& geometry, std::uint64_t bytes);

// Record size for a clusters-per-record byte: >= 0 counts clusters, < 0 is 2^-n bytes.
// 0 when the value cannot be used.
std::uint32_t record_size_from_boot(std::int8_t clusters_per_record, std::uint32_t cluster_size);

}  // namespace skelvar
