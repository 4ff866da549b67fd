// libFuzzer harness for the first sectors of volumes: the NTFS boot sector and
// its geometry (clamped to a fuzzed size), and the recognition of the other
// file systems and partition tables by their first bytes.
//
// Input: [0..7] the bytes the source holds (for the clamp); the rest is the
// first sectors of a volume (up to 16 KiB are looked at).
#include <cstddef>
#include <cstdint>
#include <span>

#include "ntfs/boot_sector.h"
#include "support/binary_data.h"
#include "volume/filesystem_signature.h"
#include "volume/partition_info.h"
#include "volume/partition_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    const std::uint64_t present = kavo::binary_data(std::span(data, 8)).u64(0);
    const std::span<const std::uint8_t> sector(data + 8, size - 8);

    skelvar::boot_geometry g;
    if (skelvar::parse_boot_sector(sector, g) == skelvar::boot_status::ok) {
        if (g.cluster_size != g.bytes_per_sector * g.sectors_per_cluster) __builtin_trap();
        if (g.record_size < 256 || g.record_size > 65536 || (g.record_size & (g.record_size - 1))) __builtin_trap();
        if (g.mft_cluster >= g.total_clusters || g.mft_offset != g.mft_cluster * g.cluster_size) __builtin_trap();
        const skelvar::boot_geometry before = g;
        skelvar::clamp_geometry(g, present);
        if (g.total_clusters > before.total_clusters || g.volume_size > before.volume_size) __builtin_trap();
        if (present < before.volume_size && g.volume_size > present) __builtin_trap();
        (void)skelvar::record_size_from_boot(static_cast<std::int8_t>(data[0]), g.cluster_size);
    }
    skelvar::partition_info p;
    skelvar::recognise_file_system(p, sector);
    (void)skelvar::classify_first_sector(sector.first(sector.size() < 16384 ? sector.size() : 16384));
    (void)skelvar::is_partition_table_sector(sector);
    return 0;
}
