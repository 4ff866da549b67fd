#include "ntfs/boot_sector.h"

#include <algorithm>

#include "support/binary_data.h"

namespace skelvar {

namespace {

constexpr bool power_of_two(std::uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }

// Windows formats clusters of up to 2 MiB; anything larger is damage.
constexpr std::uint32_t max_cluster_size = 2u << 20;
constexpr std::uint32_t min_record_size = 256;
constexpr std::uint32_t max_record_size = 64u << 10;

// Sectors per cluster: values above 0x80 are negative powers (0xF4 = 2^12 sectors).
std::uint32_t sectors_per_cluster(std::uint8_t raw) {
    if (raw <= 0x80) return raw;
    const unsigned shift = 256u - raw;
    return shift < 31 ? 1u << shift : 0;
}

}  // namespace

std::uint32_t record_size_from_boot(std::int8_t clusters_per_record, std::uint32_t cluster_size) {
    std::uint64_t size = 0;
    if (clusters_per_record >= 0) {
        size = static_cast<std::uint64_t>(clusters_per_record) * cluster_size;
    } else {
        const int shift = -static_cast<int>(clusters_per_record);
        size = shift < 32 ? 1ull << shift : 0;
    }
    if (size < min_record_size || size > max_record_size || !power_of_two(size)) return 0;
    return static_cast<std::uint32_t>(size);
}

void clamp_geometry(boot_geometry& g, std::uint64_t bytes) {
    if (g.bytes_per_sector == 0 || g.sectors_per_cluster == 0 || bytes >= g.volume_size) return;
    g.total_sectors = bytes / g.bytes_per_sector;
    g.volume_size = g.total_sectors * g.bytes_per_sector;
    // A cluster cut short by the end stays: its first bytes can still be read.
    g.total_clusters = std::min(g.total_clusters, (g.total_sectors + g.sectors_per_cluster - 1) / g.sectors_per_cluster);
}

boot_status parse_boot_sector(std::span<const std::uint8_t> sector, boot_geometry& g) {
    g = boot_geometry{};
    kavo::binary_data boot(sector);
    if (!boot.has(0, 0x48) || !boot.sub(3, 8).starts_with("NTFS    ", 8)) return boot_status::not_ntfs;

    g.bytes_per_sector = boot.u16(0x0B);
    g.sectors_per_cluster = sectors_per_cluster(boot.u8(0x0D));
    if (g.bytes_per_sector < 256 || g.bytes_per_sector > 4096 || !power_of_two(g.bytes_per_sector))
        return boot_status::bad_geometry;
    if (!power_of_two(g.sectors_per_cluster)) return boot_status::bad_geometry;
    const std::uint64_t cluster = static_cast<std::uint64_t>(g.bytes_per_sector) * g.sectors_per_cluster;
    if (cluster > max_cluster_size) return boot_status::bad_geometry;
    g.cluster_size = static_cast<std::uint32_t>(cluster);

    g.total_sectors = boot.u64(0x28);
    if (g.total_sectors == 0 || g.total_sectors > ~0ull / g.bytes_per_sector) return boot_status::bad_geometry;
    g.volume_size = g.total_sectors * g.bytes_per_sector;
    g.total_clusters = g.total_sectors / g.sectors_per_cluster;

    g.mft_cluster = boot.u64(0x30);
    if (g.mft_cluster >= g.total_clusters) return boot_status::bad_geometry;
    g.mft_offset = g.mft_cluster * g.cluster_size;

    // A record size the byte cannot give falls back to 1024; record 0 may still enlarge it.
    const auto cpr = static_cast<std::int8_t>(boot.u8(0x40));
    g.record_size = record_size_from_boot(cpr, g.cluster_size);
    if (g.record_size == 0) g.record_size = 1024;
    g.clusters_per_record = cpr >= 0 ? static_cast<std::uint32_t>(cpr) : g.record_size / g.cluster_size;
    return boot_status::ok;
}

}  // namespace skelvar
