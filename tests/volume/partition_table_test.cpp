#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "common/test_support.h"
#include "volume/disk_image_builder.h"
#include "volume/gpt_table.h"
#include "volume/partition_table.h"
#include "volume/partition_types.h"
#include "volume/raw_disk_io.h"

using namespace skelvar;
using volume_test::disk_image;
namespace fs = std::filesystem;

namespace {

struct row {
    std::uint64_t start, count;
    std::uint16_t type;
    bool operator==(const row&) const = default;
};

std::ostream& operator<<(std::ostream& os, const row& r) {
    return os << "{" << r.start << ", " << r.count << ", 0x" << std::hex << r.type << std::dec << "}";
}

std::vector<row> rows(const partition_list& records) {
    std::vector<row> out;
    for (const auto& p : records) out.push_back({p.start_sector, p.sector_count, p.type});
    return out;
}

partition_list listed(const disk_image& d, bool guess = false, bool* found = nullptr) {
    partition_list records;
    const bool ok = list_partitions(std::span<const std::uint8_t>(d.bytes), records, guess);
    if (found) *found = ok;
    return records;
}

// An MBR with a primary NTFS entry and an extended partition at sector `ext`.
disk_image disk_with_extended(std::size_t size, std::uint32_t ext) {
    disk_image d(size);
    d.signature(0);
    d.entry(0, 0, 0x07, 2048, 100);
    d.entry(0, 1, 0x05, ext, 5000);
    return d;
}

}  // namespace

TEST(FirstSector, Classification) {
    disk_image d(16384);
    EXPECT_EQ(classify_first_sector(d.bytes).kind, first_sector_kind::unrecognised);
    d.signature(0);
    EXPECT_EQ(classify_first_sector(d.bytes).kind, first_sector_kind::partition_table);
    for (const char* oem : {"NTFS", "EXFA", "MSDO"}) {
        d.text(3, oem);
        EXPECT_EQ(classify_first_sector(d.bytes).kind, first_sector_kind::volume_boot) << oem;
    }
    disk_image big(16384);
    big.signature(0, 4096);
    EXPECT_EQ(classify_first_sector(big.bytes).table_sector_size, 4096u);
    disk_image ext(16384);
    ext.put(1080, 0xEF53, 2);
    EXPECT_EQ(classify_first_sector(ext.bytes).kind, first_sector_kind::ext_volume);
}

TEST(PartitionTable, PrimaryEntries) {
    disk_image d(4096 * 512);
    d.signature(0);
    d.entry(0, 0, 0x02, 10, 10);  // unknown type: skipped, the scan goes on
    d.entry(0, 1, 0x07, 2048, 100);
    d.entry(0, 2, 0x83, 0, 0);  // zero count: skipped
    d.entry(0, 3, 0x83, 3000, 50);
    d.ntfs_boot(2048 * 512, 512, 8, 99);
    const partition_list r = listed(d);
    EXPECT_EQ(rows(r), (std::vector<row>{{2048, 100, 7}, {3000, 50, 0x83}}));
    EXPECT_TRUE(r[0].recognised);
    EXPECT_EQ(r[0].file_system_name, "ntfs");
    EXPECT_FALSE(r[1].recognised);

    // A virtual disk's first sector alone: the entries are listed, nothing behind them can be read.
    disk_image first(512);
    first.signature(0);
    first.entry(0, 0, 0x07, 2048, 100);
    bool found = false;
    EXPECT_EQ(rows(listed(first, false, &found)), (std::vector<row>{{2048, 100, 7}}));
    EXPECT_TRUE(found);
}

TEST(PartitionTable, LargerTableSectors) {
    // 0xAA55 at 4094: a table in 4096-byte sectors.
    disk_image d(2048 * 1024);
    d.signature(0, 4096);
    d.entry(0, 0, 0x07, 256, 64);
    d.ntfs_boot(256 * 4096, 4096, 1, 63);
    partition_list r = listed(d);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].byte_end(), 256u * 4096 + 64 * 4096);
    EXPECT_TRUE(r[0].recognised);

    // Signed at 510 only and nothing recognised in 4096-byte units: the table stays in 512-byte units
    // (the 4096-byte case is the disk_4k fixture).
    disk_image plain(2048 * 1024);
    plain.signature(0);
    plain.entry(0, 0, 0x83, 256, 64);
    r = listed(plain);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].byte_start(), 256u * 512);
}

TEST(PartitionTable, ExtendedEntryAtSectorZeroIsNotFollowed) {
    disk_image d(64 * 512);
    d.signature(0);
    d.entry(0, 0, 0x83, 1, 10);
    d.entry(0, 1, 0x05, 0, 20);
    d.entry(0, 2, 0x07, 40, 10);  // after the extended entry: never reached
    EXPECT_EQ(rows(listed(d)), (std::vector<row>{{1, 10, 0x83}, {0, 20, 5}}));
}

TEST(PartitionTable, LegacyNtfsAtSector63IsGuessed) {
    disk_image d(4096 * 512);
    d.signature(0);
    d.entry(0, 0, 0x05, 2048, 1000);
    d.signature(2048 * 512);
    d.entry(2048 * 512, 0, 0x83, 63, 500);
    d.ntfs_boot(63 * 512, 512, 8, 1900);
    const partition_list r = listed(d);
    // The guess reaches up to the extended partition and takes the type of the last logical
    // entry; the boot sector then makes it an NTFS volume.
    EXPECT_EQ(rows(r), (std::vector<row>{{2048, 1000, 5}, {2111, 500, 0x83}, {63, 1985, 7}}));
    EXPECT_EQ(r[2].file_system_name, "ntfs");
}

TEST(PartitionTable, GuessingFindsAChainWithoutATable) {
    disk_image d(2 * 1024 * 1024);
    d.signature(100 * 512);  // a stray extended boot record, the MBR wiped
    d.entry(100 * 512, 0, 0x07, 63, 500);
    d.entry(100 * 512, 1, 0x05, 600, 500);
    d.signature(700 * 512);
    d.entry(700 * 512, 0, 0x07, 63, 400);
    d.ntfs_boot(163 * 512, 512, 8, 499);
    d.ntfs_boot(63 * 512, 512, 8, 30);

    bool found = true;
    EXPECT_TRUE(listed(d, false, &found).empty());
    EXPECT_FALSE(found);
    const partition_list r = listed(d, true, &found);
    EXPECT_TRUE(found);
    // The guessing path does not look at the file systems.
    EXPECT_EQ(rows(r), (std::vector<row>{{163, 500, 7}, {700, 500, 5}, {63, 37, 0x8007}, {763, 400, 7}}));
    EXPECT_FALSE(r[0].recognised);
    EXPECT_EQ(partition_type_name(r[2].type), "ntfs or exfat [guess]");

    EXPECT_TRUE(listed(disk_image(4096), true, &found).empty());  // the search runs off the end of the disk
    EXPECT_FALSE(found);
}

TEST(PartitionTable, HostileExtendedChainsEnd) {
    using clock = std::chrono::steady_clock;
    const auto t0 = clock::now();

    // A link back to the first record, and a record linking to itself.
    disk_image loop = disk_with_extended(8192 * 512, 4096);
    loop.signature(4096 * 512);
    loop.entry(4096 * 512, 0, 0x07, 63, 10);
    loop.entry(4096 * 512, 1, 0x05, 100, 10);
    loop.signature(4196 * 512);
    loop.entry(4196 * 512, 0, 0x07, 63, 10);
    loop.entry(4196 * 512, 1, 0x05, 0, 10);  // back to the extended partition's start
    loop.entry(4196 * 512, 2, 0x05, 100, 10);  // and to itself
    EXPECT_LE(listed(loop).size(), 8u);

    // A chain longer than any disk has: followed only so far.
    const std::uint32_t ebrs = 3000;
    disk_image chain = disk_with_extended((4096 + ebrs + 64) * 512, 4096);
    for (std::uint32_t i = 0; i < ebrs; ++i) {
        const std::size_t at = (4096 + i) * 512;
        chain.signature(at);
        chain.entry(at, 0, 0x07, 1, 1);
        chain.entry(at, 1, 0x05, i + 1, 1);
    }
    const partition_list r = listed(chain);
    EXPECT_LE(r.size(), max_partition_records);
    EXPECT_GT(r.size(), 1000u);

    EXPECT_LT(clock::now() - t0, std::chrono::seconds(5));

    // The first extended boot record lies beyond the disk: the listing fails.
    bool found = true;
    listed(disk_with_extended(4096, 100000), false, &found);
    EXPECT_FALSE(found);
}

namespace {

// Protective MBR, GPT header at LBA 1 (sector size s) and `entries` entries from LBA 2.
disk_image gpt_disk(std::size_t size, std::uint32_t s, std::uint32_t entries, std::uint32_t entry_size = 128) {
    disk_image d(size);
    d.signature(0);
    d.entry(0, 0, 0xEE, 1, 0xFFFFFFFF);
    d.text(s, "EFI PART");
    d.put(s + 24, 1, 8);
    d.put(s + 72, 2, 8);
    d.put(s + 80, entries, 4);
    d.put(s + 84, entry_size, 4);
    return d;
}

void gpt_entry(disk_image& d, std::uint32_t s, int index, std::uint64_t first, std::uint64_t last,
               const std::u16string& name) {
    const std::size_t e = 2 * s + 128 * static_cast<std::size_t>(index);
    d.put(e, 0xEBD0A0A2, 4);  // basic data type GUID, first field
    d.put(e + 16, 0x1000 + index, 4);
    d.put(e + 32, first, 8);
    d.put(e + 40, last, 8);
    for (std::size_t i = 0; i < name.size(); ++i) d.put(e + 56 + 2 * i, name[i], 2);
}

}  // namespace

TEST(GptTable, EntriesAndTheirFileSystems) {
    disk_image d = gpt_disk(8192 * 512, 512, 128);
    gpt_entry(d, 512, 0, 2048, 4095, u"Basic data");
    gpt_entry(d, 512, 2, 4096, 0, u"no end");  // entry 1 unused: skipped
    d.ntfs_boot(2048 * 512, 512, 8, 2047);
    const partition_list r = listed(d);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_TRUE(r[0].from_gpt);
    EXPECT_EQ(r[0].partition_name, "Basic data");
    EXPECT_EQ(r[0].unique_guid[1], 0x10);
    EXPECT_EQ(r[1].sector_count, 0u);
    EXPECT_EQ(partition_type_name(r[1].type), "gpt");

    // 4096-byte logical sectors: the protective MBR still signs at 510, the header sits at 4096.
    disk_image k = gpt_disk(8192 * 512, 4096, 4);
    gpt_entry(k, 4096, 0, 256, 511, u"4k");
    k.ntfs_boot(256 * 4096, 4096, 1, 255);
    const partition_list rk = listed(k);
    ASSERT_EQ(rk.size(), 1u);
    EXPECT_EQ(rk[0].byte_start(), 0x100000u);
    EXPECT_EQ(rk[0].file_system_name, "ntfs");
}

TEST(GptTable, HostileHeaders) {
    bool found = true;
    // A header that does not name itself LBA 1.
    disk_image wrong_lba = gpt_disk(64 * 1024, 512, 4);
    gpt_entry(wrong_lba, 512, 0, 40, 50, u"x");
    wrong_lba.put(512 + 24, 7, 8);
    EXPECT_TRUE(listed(wrong_lba, false, &found).empty());

    // Absurd entry sizes.
    for (std::uint32_t size : {0u, 0xFFFFFFFFu, 0x100000u}) {
        disk_image d = gpt_disk(64 * 1024, 512, 4, size);
        gpt_entry(d, 512, 0, 40, 50, u"x");
        EXPECT_TRUE(listed(d, false, &found).empty()) << size;
    }

    // Four billion entries: capped, and the table runs off the disk, which discards the GPT.
    using clock = std::chrono::steady_clock;
    const auto t0 = clock::now();
    disk_image many = gpt_disk(64 * 1024, 512, 0xFFFFFFFF);
    gpt_entry(many, 512, 0, 40, 50, u"x");
    EXPECT_TRUE(listed(many, false, &found).empty());
    EXPECT_LT(clock::now() - t0, std::chrono::seconds(5));

    // Entry table and partition starts far beyond the disk.
    disk_image far = gpt_disk(64 * 1024, 512, 4);
    far.put(512 + 72, 0xFFFFFFFFFFFFFFF0ull, 8);
    EXPECT_TRUE(listed(far, false, &found).empty());
    disk_image far_start = gpt_disk(64 * 1024, 512, 4);
    gpt_entry(far_start, 512, 0, 0xFFFFFFFFFFFFFF00ull, 0xFFFFFFFFFFFFFFFFull, u"x");
    const partition_list r = listed(far_start, false, &found);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].byte_start(), UINT64_MAX);
    EXPECT_FALSE(r[0].recognised);
}

// ---- real partition tables made on real systems ----

namespace {

class RealTables : public ::testing::Test {
protected:
    void SetUp() override {
        data_ = testing_support::shared_testdata_dir();
        if (data_.empty()) GTEST_SKIP() << "shared test data absent";
        scratch_ = testing_support::scratch_dir("tables");
    }
    void TearDown() override {
        if (!scratch_.empty()) fs::remove_all(scratch_);
    }
    // Lists a sample (decompressed first when it is .gz) through an image reader.
    partition_list list(const std::string& name, bool* found = nullptr, bool guess = false) {
        fs::path p = data_ / name;
        if (p.extension() == ".gz") p = testing_support::gunzip_to(p, scratch_);
        RAW_DISK_IO reader(p.string(), RAW_DISK_IO::kind_image);
        EXPECT_TRUE(reader.ok()) << name;
        partition_list records;
        const bool ok = list_partitions(reader, records, guess);
        if (found) *found = ok;
        return records;
    }
    fs::path data_, scratch_;
};

}  // namespace

TEST_F(RealTables, PrimaryPartitions) {
    bool found = true;
    EXPECT_TRUE(list("mbr-512-p0.bin", &found).empty());
    EXPECT_FALSE(found);
    EXPECT_EQ(rows(list("mbr-512-p1.bin")), (std::vector<row>{{1, 2047, 0x83}}));
    EXPECT_EQ(rows(list("mbr-512-p4.bin")),
              (std::vector<row>{{1, 2, 0x83}, {3, 2, 0x83}, {5, 2, 0x83}, {7, 2041, 0x8E}}));
}

TEST_F(RealTables, ExtendedPartitions) {
    // The extended entry comes first: the primary after it is not scanned.
    EXPECT_EQ(rows(list("mbr-512-p1e2.bin.gz")),
              (std::vector<row>{{1, 1024, 5}, {2, 511, 0x83}, {513, 512, 5}, {514, 511, 0x83}}));
    EXPECT_EQ(rows(list("mbr-512-p1e2_2.bin.gz")),
              (std::vector<row>{{1, 64, 0x83}, {65, 1983, 5}, {66, 35, 0x83}, {101, 1947, 5}, {102, 1946, 0x8E}}));
    // Tables in 4096-byte sectors signed only at 510, with no file system to tell the sector
    // size by: read in 512-byte units.
    const partition_list e0 = list("mbr-4096-p1e0.bin.gz");
    EXPECT_EQ(rows(e0), (std::vector<row>{{1, 125, 0x83}, {126, 130, 5}}));
    EXPECT_EQ(e0[1].byte_start(), 126u * 512);
    EXPECT_EQ(rows(list("mbr-4096-p1e1.bin.gz")), (std::vector<row>{{3, 2, 0x8E}, {8, 4, 5}}));
}

TEST_F(RealTables, Gpt) {
    bool found = true;
    EXPECT_TRUE(list("gpt-512-0p.raw.gz", &found).empty());
    EXPECT_FALSE(found);
    EXPECT_TRUE(list("gpt-512-0p.raw.gz", &found, true).empty());
    EXPECT_FALSE(found);

    const partition_list r = list("gpt-512-3p.raw.gz");
    EXPECT_EQ(rows(r), (std::vector<row>{{34, 31, 0xEE}, {65, 64, 0xEE}, {129, 1886, 0xEE}}));
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].partition_name, "Linux filesystem");
    EXPECT_EQ(r[2].partition_name, "EFI System");
    // C12A7328-F81F-11D2-BA4B-00A0C93EC93B as stored on disk.
    const std::array<std::uint8_t, 16> esp = {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                              0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};
    EXPECT_EQ(r[2].type_guid, esp);
}
