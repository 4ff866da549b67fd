#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/test_support.h"
#include "volume/disk_image_builder.h"
#include "volume/volume_detection.h"

using namespace skelvar;
namespace fs = std::filesystem;

namespace {

struct outcome {
    bool ok = false;
    std::uint64_t offset = 0;
    std::string messages;
};

outcome validate(const fs::path& image, std::uint64_t offset = 0, bool ignore_image_size = false) {
    outcome o;
    o.offset = offset;
    o.ok = validate_image(image.string(), o.offset, ignore_image_size, o.messages);
    return o;
}

void write_bytes(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
}

// Copies `length` bytes at `offset` of `from` into a new file.
fs::path cut(const fs::path& from, std::uint64_t offset, std::uint64_t length, const fs::path& to) {
    std::ifstream in(from, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::vector<char> buf(length);
    in.read(buf.data(), static_cast<std::streamsize>(length));
    std::ofstream(to, std::ios::binary).write(buf.data(), in.gcount());
    return to;
}

// The disks made by tests/fixtures/make_disk_images.sh, each decompressed when first needed
// (CTest runs every test in its own process).
class DiskFixtures : public ::testing::Test {
protected:
    static void SetUpTestSuite() { scratch_ = new fs::path(testing_support::scratch_dir("disks")); }
    static void TearDownTestSuite() {
        fs::remove_all(*scratch_);
        delete scratch_;
        scratch_ = nullptr;
    }
    static fs::path disk(const std::string& name) {
        const fs::path image = *scratch_ / (name + ".img");
        if (!fs::exists(image)) {
            const fs::path gz = testing_support::source_dir() / "tests" / "fixtures" / "data" / (name + ".img.gz");
            testing_support::gunzip_to(gz, *scratch_);
        }
        EXPECT_GT(fs::file_size(image), 0u) << name;
        return image;
    }
    static fs::path scratch() { return *scratch_; }

    static fs::path* scratch_;
};
fs::path* DiskFixtures::scratch_ = nullptr;

}  // namespace

TEST_F(DiskFixtures, WithoutOffsetTheCandidatesAreListedAndTheLastNtfsSuggested) {
    const std::pair<const char*, const char*> listings[] = {
        {"disk_mbr",
         "\n"
         "volume offset [ 0x100000 ] : ntfs or exfat\n"
         "volume offset [ 0x6500000 ] : ntfs or exfat\n"
         "\n"
         "use option [-offset 0x6500000]\n"},
        {"disk_gpt",
         "\n"
         "volume offset [ 0x100000 ] : ntfs or exfat\n"
         "volume offset [ 0x500000 ] : linux\n"
         "volume offset [ 0x900000 ] : gpt\n"
         "\n"
         "use option [-offset 0x100000]\n"},
        // 4096-byte sectors: the table's units are told by the NTFS boot sector.
        {"disk_4k",
         "\n"
         "volume offset [ 0x100000 ] : ntfs or exfat\n"
         "volume offset [ 0x500000 ] : linux\n"
         "\n"
         "use option [-offset 0x100000]\n"},
    };
    for (const auto& [name, messages] : listings) {
        const outcome o = validate(disk(name));
        EXPECT_FALSE(o.ok) << name;
        EXPECT_EQ(o.messages, messages) << name;
    }

    // An offset between the partitions gets the same listing.
    const outcome o = validate(disk("disk_mbr"), 0x200);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.offset, 0x6500000u);
    EXPECT_NE(o.messages.find("use option [-offset 0x6500000]\n"), std::string::npos);
}

TEST_F(DiskFixtures, TruncatedImage) {
    const fs::path part = cut(disk("disk_mbr"), 0, 0x100000 + 0x200000, scratch() / "truncated.img");

    outcome o = validate(part, 0x100000);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.messages,
              "volume offset 0x100000 is a NTFS partition, however image size does not encapsulate entire volume\n");
    o = validate(part, 0x100000, true);
    EXPECT_TRUE(o.ok) << o.messages;

    // A candidate beyond the end is still suggested, with a warning.
    o = validate(part);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.messages,
              "volume offset 0x6500000 is not within image bounds\n"
              "\n"
              "volume offset [ 0x100000 ] : ntfs or exfat\n"
              "volume offset [ 0x6500000 ] : ntfs or exfat\n"
              "\n"
              "use option [-offset 0x6500000]\n");

    // The first bounds test: an offset equal to the size passes it, one byte more does not.
    const std::uint64_t size = 0x300000;
    o = validate(part, size);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.messages.find("volume offset 0x300000 is not within image bounds"), std::string::npos);
    o = validate(part, size + 1);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.messages, "volume offset 0x300001 is not within image bounds\n");
}

TEST_F(DiskFixtures, ExtendedChainWithFatAndExfat) {
    outcome o = validate(disk("disk_ext"));
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.offset, 0x2b00000u);
    EXPECT_EQ(o.messages,
              "\n"
              "volume offset [ 0x100000 ] : fat32\n"
              "volume offset [ 0x2500000 ] : exten\n"
              "volume offset [ 0x2600000 ] : ntfs or exfat\n"
              "volume offset [ 0x2a00000 ] : exten\n"
              "volume offset [ 0x2b00000 ] : ntfs or exfat\n"
              "volume offset [ 0x2f00000 ] : exten\n"
              "volume offset [ 0x3000000 ] : linux\n"
              "\n"
              "use option [-offset 0x2b00000]\n");

    // exFAT is offered as a candidate; opening the volume rejects it later.
    EXPECT_TRUE(validate(disk("disk_ext"), 0x2600000).ok);

    o = validate(disk("disk_ext"), 0x100000);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.offset, 0x100000u);
    EXPECT_EQ(o.messages.substr(0, o.messages.find('\n') + 1),
              "volume offset selected 0x100000 is not a NTFS partition, but [fat32]\n");
    // The FAT32 partition comes first, so no candidate was seen before the search stopped.
    EXPECT_NE(o.messages.find("\n\nprob detecting ntfs partition\n"), std::string::npos);
}

TEST_F(DiskFixtures, WipedTables) {
    // No table and no extended boot record anywhere in the first MiB.
    const fs::path wiped = scratch() / "wiped.img";
    write_bytes(wiped, volume_test::disk_image(2 * 1024 * 1024).bytes);
    const outcome o = validate(wiped);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.messages, "couldn't find any partitions on disk\n");

    // A stray extended boot record: the guess lists what it names, unverified.
    volume_test::disk_image d(2 * 1024 * 1024);
    d.signature(100 * 512);
    d.entry(100 * 512, 0, 0x07, 63, 500);
    const fs::path guessed = scratch() / "guessed.img";
    write_bytes(guessed, d.bytes);
    const outcome g = validate(guessed);
    EXPECT_FALSE(g.ok);
    EXPECT_EQ(g.offset, 0x14600u);
    EXPECT_EQ(g.messages,
              "disk is corrupted, partition info questionable\n"
              "\n"
              "volume offset [ 0x14600 ] : ntfs or exfat\n"
              "\n"
              "use option [-offset 0x14600]\n");
}

TEST(VolumeDetection, SourcesThatCannotBeOpened) {
    std::uint64_t offset = 0;
    std::string messages;
    EXPECT_FALSE(validate_image("/nonexistent/disk.img", offset, false, messages));
    EXPECT_EQ(messages, "invalid image: /nonexistent/disk.img\nNo such file or directory\n");

    messages.clear();
    EXPECT_FALSE(validate_device("/nonexistent/dev", offset, false, messages));
    EXPECT_EQ(messages, "invalid image: /nonexistent/dev\nNo such file or directory\n");

    messages.clear();
    EXPECT_FALSE(validate_drive(25, offset, false, messages));
    EXPECT_EQ(messages, "problems accessing physical disk #25, aborting \n");
}

TEST(VolumeDetection, RealSamples) {
    const fs::path data = testing_support::shared_testdata_dir();
    if (data.empty()) GTEST_SKIP() << "shared test data absent";
    const fs::path scratch = testing_support::scratch_dir("samples");

    outcome o = validate(data / "mbr-512-p1.bin");
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.messages, "\nvolume offset [ 0x200 ] : linux\n\nprob detecting ntfs partition\n");

    // A lone boot sector claims a volume far larger than itself.
    o = validate(data / "512.boot");
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.messages,
              "volume offset 0x0 is a NTFS partition, however image size does not encapsulate entire volume\n");
    EXPECT_TRUE(validate(data / "512.boot", 0, true).ok);

    o = validate(testing_support::gunzip_to(data / "ntfs3.raw.gz", scratch));
    EXPECT_TRUE(o.ok) << o.messages;
    EXPECT_EQ(o.offset, 0u);

    o = validate(testing_support::gunzip_to(data / "gpt-512-3p.raw.gz", scratch));
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.messages,
              "\nvolume offset [ 0x4400 ] : gpt\nvolume offset [ 0x8200 ] : gpt\n"
              "volume offset [ 0x10200 ] : gpt\n\nprob detecting ntfs partition\n");
    fs::remove_all(scratch);
}
