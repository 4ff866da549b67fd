#include "ntfs/boot_sector.h"

#include <gtest/gtest.h>

#include "common/test_support.h"
#include "ntfs/synthetic_volume.h"

using namespace skelvar;
using testing_support::synthetic_volume;

namespace {

boot_geometry parse_file(const char* name) {
    const auto dir = testing_support::shared_testdata_dir();
    boot_geometry g;
    const auto bytes = testing_support::read_bytes(dir / name);
    EXPECT_EQ(parse_boot_sector(bytes, g), boot_status::ok) << name;
    return g;
}

boot_status parse(const synthetic_volume& v, boot_geometry& g) {
    return parse_boot_sector(std::span<const std::uint8_t>(v.bytes.data(), 512), g);
}

}  // namespace

TEST(BootSector, RealBootSectors) {
    if (testing_support::shared_testdata_dir().empty()) GTEST_SKIP() << "../shared/testdata absent";

    const boot_geometry s512 = parse_file("512.boot");
    EXPECT_EQ(s512.bytes_per_sector, 512u);
    EXPECT_EQ(s512.cluster_size, 512u);
    EXPECT_EQ(s512.record_size, 1024u);  // 2 clusters per record
    EXPECT_EQ(s512.clusters_per_record, 2u);
    EXPECT_EQ(s512.mft_offset, 0xAA2AAull * 512);

    const boot_geometry k4 = parse_file("4k.boot");
    EXPECT_EQ(k4.cluster_size, 4096u);
    EXPECT_EQ(k4.record_size, 1024u);  // 0xF6: 2^10 bytes
    EXPECT_EQ(k4.clusters_per_record, 0u);
    EXPECT_EQ(k4.total_clusters, k4.total_sectors / 8);

    const boot_geometry kn = parse_file("4kn.boot");
    EXPECT_EQ(kn.bytes_per_sector, 4096u);
    EXPECT_EQ(kn.cluster_size, 4096u);
    EXPECT_EQ(kn.record_size, 4096u);
    EXPECT_EQ(kn.clusters_per_record, 1u);

    const boot_geometry k64 = parse_file("64k.boot");
    EXPECT_EQ(k64.cluster_size, 65536u);
    EXPECT_EQ(k64.record_size, 1024u);
    EXPECT_EQ(k64.mft_offset, 0xC000ull * 65536);
}

TEST(BootSector, RecordSizeRuleAndLargeClusters) {
    EXPECT_EQ(record_size_from_boot(-12, 512), 4096u);
    EXPECT_EQ(record_size_from_boot(0, 4096), 0u);
    EXPECT_EQ(record_size_from_boot(-128, 4096), 0u);  // 2^128 bytes
    EXPECT_EQ(record_size_from_boot(3, 512), 0u);      // not a power of two

    synthetic_volume v;
    v.format();
    v.bytes[0x0D] = 0xF4;  // 2^12 sectors: 2 MiB clusters
    testing_support::put_le(v.bytes, 0x28, 1ull << 24, 8);
    boot_geometry g;
    ASSERT_EQ(parse(v, g), boot_status::ok);
    EXPECT_EQ(g.cluster_size, 2u << 20);
    v.bytes[0x0D] = 0xF3;  // 4 MiB: more than any NTFS cluster
    EXPECT_EQ(parse(v, g), boot_status::bad_geometry);
}

TEST(BootSector, AbsurdGeometryIsRefused) {
    boot_geometry g;
    auto with = [](auto change) {
        synthetic_volume v;
        v.format();
        change(v);
        v.write_boot();
        return v;
    };
    EXPECT_EQ(parse(with([](synthetic_volume& v) { v.sectors_per_cluster = 0; }), g), boot_status::bad_geometry);
    EXPECT_EQ(parse(with([](synthetic_volume& v) { v.sectors_per_cluster = 3; }), g), boot_status::bad_geometry);
    EXPECT_EQ(parse(with([](synthetic_volume& v) { v.bytes_per_sector = 0; }), g), boot_status::bad_geometry);
    EXPECT_EQ(parse(with([](synthetic_volume& v) { v.bytes_per_sector = 500; }), g), boot_status::bad_geometry);
    EXPECT_EQ(parse(with([](synthetic_volume& v) { v.mft_cluster = v.clusters; }), g), boot_status::bad_geometry);
    EXPECT_EQ(parse(with([](synthetic_volume& v) { v.clusters = 0; }), g), boot_status::bad_geometry);

    // Total sectors whose byte count does not fit 64 bits.
    synthetic_volume huge;
    huge.format();
    testing_support::put_le(huge.bytes, 0x28, ~0ull, 8);
    EXPECT_EQ(parse(huge, g), boot_status::bad_geometry);

    synthetic_volume fat;
    fat.format();
    fat.bytes[3] = 'M';
    EXPECT_EQ(parse(fat, g), boot_status::not_ntfs);
    EXPECT_EQ(parse_boot_sector({}, g), boot_status::not_ntfs);

    // A clusters-per-record byte that gives no usable size falls back to 1 KiB records.
    synthetic_volume odd = with([](synthetic_volume& v) { v.clusters_per_record = -128; });
    ASSERT_EQ(parse(odd, g), boot_status::ok);
    EXPECT_EQ(g.record_size, 1024u);
}
