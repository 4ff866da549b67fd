#include <gtest/gtest.h>

#include "common/test_support.h"
#include "volume/disk_image_builder.h"
#include "volume/filesystem_signature.h"
#include "volume/partition_types.h"

using namespace skelvar;
using volume_test::disk_image;

namespace {

partition_info recognised(const disk_image& d, std::size_t length, std::uint32_t table_sector_size = 512,
                          std::uint64_t table_count = 0) {
    partition_info p = partition_info::from_table(100, table_count, 0x07, table_sector_size);
    recognise_file_system(p, std::span<const std::uint8_t>(d.bytes.data(), length));
    return p;
}

}  // namespace

TEST(FileSystemSignature, RealNtfsBootSectors) {
    const auto dir = testing_support::shared_testdata_dir();
    if (dir.empty()) GTEST_SKIP() << "shared test data absent";
    struct expected {
        const char* file;
        std::uint32_t bytes_per_sector, sectors_per_cluster;
        std::uint64_t total_sectors, serial;
    };
    for (const expected& e : {expected{"512.boot", 512, 1, 0x1fe7ff, 0xa6ee1e1bee1de479},
                              expected{"4k.boot", 512, 8, 0x76ec7ff, 0x7efeeedbfeee8b2b},
                              expected{"4kn.boot", 4096, 1, 0x37ff, 0x187eb6507eb62682},
                              expected{"64k.boot", 512, 128, 0x3ffe7ff, 0xa8a66d90a66d6034}}) {
        const auto bytes = testing_support::read_bytes(dir / e.file);
        partition_info p = partition_info::from_table(0, 0, 0, 512);
        recognise_file_system(p, bytes);
        EXPECT_TRUE(p.recognised) << e.file;
        EXPECT_EQ(p.type, 7) << e.file;
            EXPECT_EQ(p.sector_size, e.bytes_per_sector) << e.file;
        EXPECT_EQ(p.sectors_per_cluster, e.sectors_per_cluster) << e.file;
        EXPECT_EQ(p.sector_count, e.total_sectors) << e.file;
        EXPECT_EQ(p.volume_serial, e.serial) << e.file;
        // The count is in the boot sector's sectors; the start stays in the table's.
        EXPECT_EQ(p.byte_end(), e.total_sectors * e.bytes_per_sector) << e.file;
    }
}

TEST(FileSystemSignature, CountFromTheTableWinsExceptForFat32) {
    disk_image d(512);
    d.ntfs_boot(0, 4096, 1, 999);
    partition_info p = recognised(d, 512, 512, 8000);
    EXPECT_EQ(p.sector_count, 8000u);
    // Table units stay in force for both start and length.
    EXPECT_EQ(p.byte_start(), 100u * 512);
    EXPECT_EQ(p.byte_end(), 8100u * 512);

    disk_image fat(512);
    fat.text(82, "FAT32   ");
    fat.put(11, 512, 2);
    fat.bytes[13] = 8;
    fat.put(32, 5000, 4);
    fat.put(67, 0xCAFEBABE, 4);
    p = recognised(fat, 512, 512, 8000);
    EXPECT_EQ(p.type, 0x0C);
    EXPECT_EQ(p.file_system_name, "fat32");
    EXPECT_EQ(p.sector_count, 5000u);
    EXPECT_EQ(p.volume_serial, 0xCAFEBABEu);
}

TEST(FileSystemSignature, OtherFileSystems) {
    disk_image exfat(512);
    exfat.text(3, "EXFAT   ");
    exfat.put(0x48, 65536, 8);
    exfat.put(100, 0x12345678, 4);
    exfat.bytes[108] = 12;  // 4096-byte sectors
    exfat.bytes[109] = 3;   // 8 sectors per cluster
    partition_info p = recognised(exfat, 512);
    EXPECT_EQ(p.type, 7);  // offered as "ntfs or exfat"
    EXPECT_EQ(p.file_system_name, "exfat");
    EXPECT_EQ(p.sector_size, 4096u);
    EXPECT_EQ(p.sectors_per_cluster, 8u);
    EXPECT_EQ(p.sector_count, 65536u);
    EXPECT_EQ(p.volume_serial, 0x12345678u);

    // Hostile exponents leave the fields alone instead of shifting out of range.
    exfat.bytes[108] = 200;
    exfat.bytes[109] = 64;
    p = recognised(exfat, 512);
    EXPECT_EQ(p.sector_size, 512u);

    disk_image bitlocker(512);
    bitlocker.ntfs_boot(0, 512, 8, 1000);
    bitlocker.text(3, "-FVE-FS-");
    p = recognised(bitlocker, 512);
    EXPECT_EQ(p.file_system_name, "bitlocker container");
    EXPECT_TRUE(names_ntfs(partition_type_name(p.type)));

    disk_image ext(2048);
    ext.put(1080, 0xEF53, 2);
    ext.put(1048, 2, 4);  // 4096-byte blocks
    ext.put(1128, 0x5EED, 4);
    p = recognised(ext, 2048);
    EXPECT_EQ(p.file_system_name, "ext2/3");
    EXPECT_EQ(p.type, 0x83);
    EXPECT_EQ(p.sectors_per_cluster, 8u);
    // Only 512 bytes: the superblock is out of sight.
    EXPECT_FALSE(recognised(ext, 512).recognised);

    disk_image hfs(2048);
    hfs.put(1024, 0x2B48, 2);
    EXPECT_EQ(recognised(hfs, 2048).file_system_name, "hfs+");
    hfs.text(3, "x");  // HFS needs the boot area clear
    EXPECT_FALSE(recognised(hfs, 2048).recognised);

    // Nothing known, and a buffer short of one sector.
    disk_image nothing(512);
    EXPECT_FALSE(recognised(nothing, 512).recognised);
    EXPECT_FALSE(recognised(exfat, 511).recognised);
}
