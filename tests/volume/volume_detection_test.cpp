#include <gtest/gtest.h>

#include <filesystem>

#include "common/test_support.h"
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

}  // namespace

// On the disks made by tests/fixtures/make_disk_images.sh.
TEST(VolumeDetection, WithoutOffsetTheCandidatesAreListedAndTheLastNtfsSuggested) {
    const fs::path scratch = testing_support::scratch_dir("disks");
    const std::pair<const char*, const char*> listings[] = {
        {"disk_mbr",
         "\n"
         "volume offset [ 0x100000 ] : ntfs or exfat\n"
         "volume offset [ 0x6500000 ] : ntfs or exfat\n"
         "\n"
         "use option [-offset 0x6500000]\n"},
        // 4096-byte sectors: the table's units are told by the NTFS boot sector.
        {"disk_4k",
         "\n"
         "volume offset [ 0x100000 ] : ntfs or exfat\n"
         "volume offset [ 0x500000 ] : linux\n"
         "\n"
         "use option [-offset 0x100000]\n"},
    };
    for (const auto& [name, messages] : listings) {
        const outcome o = validate(testing_support::gunzip_to(
            testing_support::source_dir() / "tests" / "fixtures" / "data" / (std::string(name) + ".img.gz"), scratch));
        EXPECT_FALSE(o.ok) << name;
        EXPECT_EQ(o.messages, messages) << name;
    }
    fs::remove_all(scratch);
}

TEST(VolumeDetection, RealSamples) {
    const fs::path data = testing_support::shared_testdata_dir();
    SKIP_WITHOUT_SAMPLE(!data.empty(), "mbr-512-p1.bin");
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

    o = validate(testing_support::gunzip_to(data / "gpt-512-3p.raw.gz", scratch));
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.messages,
              "\nvolume offset [ 0x4400 ] : gpt\nvolume offset [ 0x8200 ] : gpt\n"
              "volume offset [ 0x10200 ] : gpt\n\nprob detecting ntfs partition\n");
    fs::remove_all(scratch);
}
