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

    // An extended partition past the end of a truncated image: the primary stays listed.
    bool found = false;
    EXPECT_EQ(listed(disk_with_extended(4096 * 512, 1u << 30), false, &found).size(), 2u);
    EXPECT_TRUE(found);

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

TEST(GptTable, HostileHeaders) {
    bool found = true;
    // A header that does not name itself LBA 1.
    disk_image wrong_lba = gpt_disk(64 * 1024, 512, 4);
    gpt_entry(wrong_lba, 512, 0, 40, 50, u"x");
    wrong_lba.put(512 + 24, 7, 8);
    EXPECT_TRUE(listed(wrong_lba, false, &found).empty());

    disk_image huge_entries = gpt_disk(64 * 1024, 512, 4, 0xFFFFFFFFu);  // absurd entry size
    gpt_entry(huge_entries, 512, 0, 40, 50, u"x");
    EXPECT_TRUE(listed(huge_entries, false, &found).empty());

    // Four billion entries: capped, and the table runs off the disk, which discards the GPT.
    using clock = std::chrono::steady_clock;
    const auto t0 = clock::now();
    disk_image many = gpt_disk(64 * 1024, 512, 0xFFFFFFFF);
    gpt_entry(many, 512, 0, 40, 50, u"x");
    EXPECT_TRUE(listed(many, false, &found).empty());
    EXPECT_LT(clock::now() - t0, std::chrono::seconds(5));
}

// ---- real partition tables made on real systems ----

namespace {

class RealTables : public ::testing::Test {
protected:
    void SetUp() override {
        data_ = testing_support::shared_testdata_dir();
        SKIP_WITHOUT_SAMPLE(!data_.empty(), "mbr-*.bin, gpt-*.raw");
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
