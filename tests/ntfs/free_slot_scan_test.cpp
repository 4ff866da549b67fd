#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "common/test_support.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/free_slot_scan.h"
#include "volume/raw_disk_io.h"

using namespace skelvar;

namespace {

constexpr std::uint64_t bitmap_clusters = 512;

// Free runs of every length, one longer than any block below.
std::vector<std::uint8_t> bitmap_bytes() {
    std::vector<std::uint8_t> b(bitmap_clusters / 8, 0);
    std::uint32_t x = 12345;
    for (std::uint64_t c = 0; c < 300; ++c) {
        x = x * 1103515245 + 12345;
        if ((x >> 16) % 3 == 0) b[c / 8] |= static_cast<std::uint8_t>(1 << (c % 8));
    }
    b[0] |= 1;  // the boot sector's cluster
    return b;
}

// Signatures at every 512 bytes, in turn FILE, BAAD, INDX and none.
const char* signature_at(std::uint64_t offset) {
    static const char* const cycle[] = {"FILE", "BAAD", "INDX", "...."};
    return cycle[(offset / 512) % 4];
}

struct scan_case {
    std::uint32_t cluster_size, record_size;
    std::uint64_t image_clusters;  // fewer than the bitmap: a truncated image
};

}  // namespace

// Every read size finds exactly the slots the layout defines: record-size steps
// within a free cluster, or, for records larger than a cluster, each free cluster
// whose free run holds the record; slots the image cuts short are skipped.
TEST(FreeSlotScan, BlocksFindWhatSlotReadsFind) {
    const cluster_bitmap bitmap(bitmap_bytes());
    const std::uint64_t lead = 4096;  // the volume starts this far into the image
    for (const scan_case& c : {scan_case{4096, 1024, 512}, scan_case{2048, 1024, 300}, scan_case{512, 1024, 512},
                               scan_case{1024, 4096, 400}, scan_case{1024, 1024, 512}}) {
        const std::uint64_t cs = c.cluster_size, rs = c.record_size;
        const std::uint64_t volume_bytes = c.image_clusters * cs + cs / 2;
        std::vector<std::uint8_t> image(lead + volume_bytes, 0x5A);
        for (std::uint64_t at = 0; at + 4 <= volume_bytes; at += 512) std::memcpy(&image[lead + at], signature_at(at), 4);
        const auto path = testing_support::scratch_dir("free_slot_scan") / "volume.img";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());

        std::vector<std::uint64_t> expected;
        const std::uint64_t per_cluster = cs >= rs ? cs / rs : 1;
        for (std::uint64_t cl = 0; cl < bitmap_clusters; ++cl) {
            if (bitmap.allocated(cl)) continue;
            for (std::uint64_t k = 0; k < per_cluster; ++k) {
                const std::uint64_t at = cl * cs + k * rs;
                bool free = true;
                for (std::uint64_t x = at / cs; x <= (at + rs - 1) / cs; ++x) free = free && !bitmap.allocated(x);
                const std::string sig = signature_at(at);
                if (free && at + rs <= volume_bytes && (sig == "FILE" || sig == "BAAD")) expected.push_back(at);
            }
        }
        ASSERT_FALSE(expected.empty());

        RAW_DISK_IO reader(path.string(), RAW_DISK_IO::kind_image);
        ASSERT_TRUE(reader.ok());
        for (std::uint32_t block : {0u, c.cluster_size, 3 * c.cluster_size, 1u << 20}) {
            slot_scan_settings settings;
            settings.block_bytes = block;
            std::vector<std::uint64_t> found;
            const slot_scan_counts counts = scan_free_slots(
                reader, {lead, c.cluster_size, c.record_size}, bitmap, settings,
                [&](std::uint64_t at, std::span<const std::uint8_t> slot) {
                    ASSERT_EQ(slot.size(), rs);
                    EXPECT_EQ(std::memcmp(slot.data(), signature_at(at), 4), 0) << at;
                    found.push_back(at);
                });
            EXPECT_EQ(found, expected) << "cluster " << cs << ", record " << rs << ", block " << block;
            EXPECT_TRUE(block < (1u << 20) || counts.reads < 20) << counts.reads;  // the runs, not the slots
        }
    }
}
