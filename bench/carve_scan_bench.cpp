// Times the scan of a volume's free clusters for file-record slots with
// several read sizes, from one read per record slot up to large blocks, and
// checks that every read size finds the same slots.
//
//   carve_scan_bench <image> [volume offset]
//
// Prints one line per read size: wall and CPU seconds, MB/s of free space,
// reads made and slots found. Exits 1 when two read sizes disagree.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ntfs/cluster_bitmap.h"
#include "ntfs/entry_reader.h"
#include "ntfs/free_slot_scan.h"
#include "ntfs/ntfs_volume.h"
#include "ntfs/source_opening.h"
#include "support/diag_log.h"

using namespace skelvar;

namespace {

double cpu_seconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <image> [volume offset]\n", argv[0]);
        return 2;
    }
    diag_log log;
    mft_reader records(log);
    decode_settings decode;
    entry_reader entries(records, decode);
    source_settings source;
    source.image_path = argv[1];
    if (argc > 2) source.volume_offset = std::stoull(argv[2], nullptr, 0);
    if (status s = open_source(source, false, records); !s) {
        std::fprintf(stderr, "cannot open %s: %s\n", argv[1], s.reason().c_str());
        return 2;
    }
    cluster_bitmap bitmap;
    if (status s = load_cluster_bitmap(entries, bitmap); !s) {
        std::fprintf(stderr, "no bitmap: %s\n", s.reason().c_str());
        return 2;
    }
    ntfs_volume& volume = *records.volume();
    const slot_geometry geometry{volume.volume_offset(), volume.cluster_size(), records.record_size()};
    std::printf("cluster %u bytes, record %u bytes\n", geometry.cluster_size, geometry.record_size);

    std::vector<std::uint64_t> reference;
    bool same = true;
    for (std::uint32_t block : {0u, 64u << 10, 1u << 20, 4u << 20, 16u << 20}) {
        slot_scan_settings settings;
        settings.block_bytes = block;
        std::vector<std::uint64_t> found;
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = cpu_seconds();
        const slot_scan_counts counts = scan_free_slots(
            *volume.reader(), geometry, bitmap, settings,
            [&](std::uint64_t offset, std::span<const std::uint8_t>) { found.push_back(offset); });
        const double cpu = cpu_seconds() - c0;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double free_mb = static_cast<double>(counts.free_clusters) * geometry.cluster_size / 1e6;
        std::printf("block %8u: %7.3f s wall %7.3f s cpu %8.1f MB/s (%.1f MB/s per cpu second) of %.1f MB free, "
                    "%llu reads, %llu slots found\n",
                    block, wall, cpu, free_mb / wall, free_mb / cpu, free_mb,
                    static_cast<unsigned long long>(counts.reads), static_cast<unsigned long long>(counts.found));
        if (block == 0) reference = found;
        else if (found != reference) same = false;
    }
    std::printf(same ? "every read size found the same slots\n" : "READ SIZES DISAGREE\n");
    return same ? 0 : 1;
}
