#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "common/test_support.h"
#include "volume/block_device_query.h"
#include "volume/raw_disk_io.h"
#include "volume/sector_alignment.h"

using namespace skelvar;
namespace fs = std::filesystem;

namespace {

// A file whose every byte names its position (low byte of offset ^ a page tag),
// so a misplaced copy shows.
fs::path patterned_file(const fs::path& dir, std::size_t size) {
    std::vector<char> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i & 0xFF) ^ ((i >> 8) * 7));
    fs::path p = dir / "pattern.bin";
    std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p;
}

std::uint8_t pattern_at(std::uint64_t i) { return static_cast<std::uint8_t>((i & 0xFF) ^ ((i >> 8) * 7)); }

void expect_pattern(const std::vector<std::uint8_t>& got, std::uint64_t offset, std::size_t count) {
    ASSERT_GE(got.size(), count);
    for (std::size_t i = 0; i < count; ++i)
        ASSERT_EQ(got[i], pattern_at(offset + i)) << "byte " << i << " of a read at " << offset;
}

class RawDiskIo : public ::testing::Test {
protected:
    void SetUp() override { dir_ = testing_support::scratch_dir("rawio"); }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

}  // namespace

TEST(SectorAlignment, CoversTheAskedRangeWithWholeSectors) {
    // 1024 bytes at 0x2100 with 512-byte sectors: read 0x2000-0x25FF, hand back from 0x100.
    sector_span s = align_to_sectors(0x2100, 1024, 512);
    EXPECT_EQ(s.start, 0x2000u);
    EXPECT_EQ(s.lead, 0x100u);
    EXPECT_EQ(s.length, 0x600u);
    EXPECT_FALSE(s.aligned(1024));
    EXPECT_TRUE(align_to_sectors(0x2000, 1024, 512).aligned(1024));
    // A count near the 32-bit limit does not wrap.
    EXPECT_EQ(align_to_sectors(1, 0xFFFFFFFFu, 512).length, 0x100000000ull);
}

TEST_F(RawDiskIo, ImageReadsAreBoundedBySize) {
    const fs::path p = patterned_file(dir_, 10000);
    RAW_DISK_IO r(p.string(), RAW_DISK_IO::kind_image);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.size(), 10000u);
    EXPECT_EQ(r.bytes_per_sector(), 512u);

    std::vector<std::uint8_t> buf(4096);
    std::uint32_t count = 4096;
    ASSERT_TRUE(r.read(buf.data(), count, 3));
    EXPECT_EQ(count, 4096u);
    expect_pattern(buf, 3, 4096);

    // Running past the end: the count is lowered to what remains.
    count = 4096;
    ASSERT_TRUE(r.read(buf.data(), count, 9000));
    EXPECT_EQ(count, 1000u);
    expect_pattern(buf, 9000, 1000);

    count = 1;
    EXPECT_FALSE(r.read(buf.data(), count, 10000));  // at size
    count = 0;
    EXPECT_FALSE(r.read(buf.data(), count, 0));
    count = 16;
    EXPECT_FALSE(r.read(nullptr, count, 0));
}

TEST_F(RawDiskIo, OpenFailuresLeaveAReaderThatReadsNothing) {
    std::vector<std::uint8_t> buf(512);
    std::uint32_t count = 512;

    RAW_DISK_IO missing((dir_ / "absent.img").string(), RAW_DISK_IO::kind_image);
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.size(), 0u);
    EXPECT_FALSE(missing.read(buf.data(), count, 0));
    EXPECT_FALSE(missing.read_direct(buf.data(), count, 0));

    EXPECT_FALSE(RAW_DISK_IO(dir_.string(), RAW_DISK_IO::kind_image).ok());
    const fs::path p = patterned_file(dir_, 4096);
    EXPECT_FALSE(RAW_DISK_IO(p.string(), RAW_DISK_IO::kind_vmdk).ok());
    EXPECT_FALSE(RAW_DISK_IO(p.string(), 7).ok());
    // A character device answers no size query.
    EXPECT_FALSE(RAW_DISK_IO("/dev/null", RAW_DISK_IO::kind_device).ok());
}

TEST_F(RawDiskIo, DeviceReadsGoThroughWholeSectors) {
    // A regular file opened as a device: 512-byte sectors, reads aligned by the reader.
    const fs::path p = patterned_file(dir_, 0x4000 + 100);  // last sector is partial
    RAW_DISK_IO r(p.string(), RAW_DISK_IO::kind_device);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.bytes_per_sector(), 512u);
    EXPECT_EQ(r.size(), 0x4000u + 100);

    std::vector<std::uint8_t> buf(1024, 0xEE);
    std::uint32_t count = 1024;
    ASSERT_TRUE(r.read(buf.data(), count, 0x2100));
    EXPECT_EQ(count, 1024u);
    expect_pattern(buf, 0x2100, 1024);

    // Odd offset and odd length.
    count = 7;
    ASSERT_TRUE(r.read(buf.data(), count, 0x1FFD));
    expect_pattern(buf, 0x1FFD, 7);

    // The last bytes of a device whose size is no multiple of the sector size.
    count = 50;
    ASSERT_TRUE(r.read(buf.data(), count, 0x4000 + 50));
    expect_pattern(buf, 0x4000 + 50, 50);

    // Unlike an image, a device read running past the end is not shortened: it fails.
    count = 512;
    EXPECT_FALSE(r.read(buf.data(), count, 0x4000));
    EXPECT_EQ(count, 512u);
}

TEST_F(RawDiskIo, ReadDirectZeroFillsPastTheEndOfADevice) {
    const fs::path p = patterned_file(dir_, 2048);
    RAW_DISK_IO r(p.string(), RAW_DISK_IO::kind_device);
    ASSERT_TRUE(r.ok());
    std::vector<std::uint8_t> buf(1024, 0xEE);
    std::uint32_t count = 1024;
    ASSERT_TRUE(r.read_direct(buf.data(), count, 1536));
    EXPECT_EQ(count, 1024u);
    expect_pattern(buf, 1536, 512);
    for (std::size_t i = 512; i < 1024; ++i) ASSERT_EQ(buf[i], 0) << i;

    // Unaligned, inside the device.
    count = 10;
    ASSERT_TRUE(r.read_direct(buf.data(), count, 3));
    expect_pattern(buf, 3, 10);

    // An image has no direct path: the general read, with its lowered count.
    RAW_DISK_IO img(p.string(), RAW_DISK_IO::kind_image);
    count = 1024;
    ASSERT_TRUE(img.read_direct(buf.data(), count, 1536));
    EXPECT_EQ(count, 512u);
}

TEST(RawDiskIoNames, DriveNumbersAndLetters) {
    EXPECT_EQ(physical_drive_path(24), "/dev/sdy");
    EXPECT_EQ(physical_drive_path(25), "");
    EXPECT_EQ(physical_drive_path(-1), "");
    RAW_DISK_IO far(25);
    EXPECT_FALSE(far.ok());
    EXPECT_EQ(far.device_path(), "");  // nothing was opened

    // Drive letters name nothing on this system.
    RAW_DISK_IO c("C:/", RAW_DISK_IO::kind_volume);
    EXPECT_FALSE(c.ok());
    EXPECT_EQ(c.device_path(), "\\\\.\\C:");
    EXPECT_TRUE(is_drive_letter_path("z:"));
    EXPECT_FALSE(is_drive_letter_path("1:"));
    EXPECT_FALSE(is_drive_letter_path("c:x"));
}
