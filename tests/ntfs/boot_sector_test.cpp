#include "ntfs/boot_sector.h"

#include <gtest/gtest.h>

#include "common/test_support.h"
#include "ntfs/synthetic_volume.h"

using namespace skelvar;
using testing_support::synthetic_volume;

namespace {

boot_status parse(const synthetic_volume& v, boot_geometry& g) {
    return parse_boot_sector(std::span<const std::uint8_t>(v.bytes.data(), 512), g);
}

// A formatted volume with one field changed; `raw` edits bytes after the boot sector is written.
synthetic_volume with(void (*change)(synthetic_volume&), bool raw = false) {
    synthetic_volume v;
    v.format();
    change(v);
    if (!raw) v.write_boot();
    return v;
}

}  // namespace

TEST(BootSector, RealBootSectors) {
    struct expected {
        const char* name;
        std::uint32_t sector, cluster, record, per_record;
        std::uint64_t mft_cluster;
    };
    // 0xF6 in 4k.boot and 64k.boot means 2^10-byte records, smaller than a cluster.
    for (const expected& x : {expected{"512.boot", 512, 512, 1024, 2, 0xAA2AA}, expected{"4k.boot", 512, 4096, 1024, 0, 786432},
                              expected{"4kn.boot", 4096, 4096, 4096, 1, 4778},
                              expected{"64k.boot", 512, 65536, 1024, 0, 0xC000}}) {
        const auto bytes = testing_support::shared_sample(x.name);
        SKIP_WITHOUT_SAMPLE(!bytes.empty(), x.name);
        boot_geometry g;
        ASSERT_EQ(parse_boot_sector(bytes, g), boot_status::ok) << x.name;
        EXPECT_EQ(g.bytes_per_sector, x.sector) << x.name;
        EXPECT_EQ(g.cluster_size, x.cluster) << x.name;
        EXPECT_EQ(g.record_size, x.record) << x.name;
        EXPECT_EQ(g.clusters_per_record, x.per_record) << x.name;
        EXPECT_EQ(g.mft_offset, x.mft_cluster * x.cluster) << x.name;
    }
}

TEST(BootSector, AbsurdGeometryIsRefused) {
    boot_geometry g;
    EXPECT_EQ(parse(with([](synthetic_volume& v) { v.sectors_per_cluster = 0; }), g), boot_status::bad_geometry);
    EXPECT_EQ(parse(with([](synthetic_volume& v) { v.sectors_per_cluster = 3; }), g), boot_status::bad_geometry);
    EXPECT_EQ(parse(with([](synthetic_volume& v) { v.bytes_per_sector = 500; }), g), boot_status::bad_geometry);
    EXPECT_EQ(parse(with([](synthetic_volume& v) { v.mft_cluster = v.clusters; }), g), boot_status::bad_geometry);
    EXPECT_EQ(parse(with([](synthetic_volume& v) { v.clusters = 0; }), g), boot_status::bad_geometry);
    // Total sectors whose byte count does not fit 64 bits.
    EXPECT_EQ(parse(with([](synthetic_volume& v) { testing_support::put_le(v.bytes, 0x28, ~0ull, 8); }, true), g),
              boot_status::bad_geometry);
    EXPECT_EQ(parse(with([](synthetic_volume& v) { v.bytes[3] = 'M'; }, true), g), boot_status::not_ntfs);
    EXPECT_EQ(parse_boot_sector({}, g), boot_status::not_ntfs);

    // A clusters-per-record byte that gives no usable size falls back to 1 KiB records.
    ASSERT_EQ(parse(with([](synthetic_volume& v) { v.clusters_per_record = -128; }), g), boot_status::ok);
    EXPECT_EQ(g.record_size, 1024u);
}
