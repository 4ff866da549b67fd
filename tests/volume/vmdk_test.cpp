#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "common/test_support.h"
#include "disk_image_builder.h"
#include "volume/disk_bytes.h"
#include "volume/raw_disk_io.h"
#include "volume/vmdk_chain.h"

using namespace skelvar;
namespace fs = std::filesystem;

namespace {

// A sparse extent of 4 KiB grains and 4-entry tables: header, descriptor at sector 1, directory at 2,
// tables from 3, then one grain per entry of `grains` (guest grain -> fill byte; 0 = a zero-grain entry).
struct extent_builder {
    std::uint64_t capacity = 128;  // sectors: 16 grains, 4 tables
    std::string descriptor = "CID=0000000a\nparentCID=ffffffff\n";
    std::map<std::uint32_t, char> grains;

    volume_test::disk_image build() const {
        const std::uint32_t tables = 4;
        volume_test::disk_image d((3 + tables + grains.size() * 8) * 512);
        d.text(0, "KDMV");
        d.put(4, 1, 4);
        d.put(8, 0x4 | 0x1, 4);  // zero grains
        d.put(12, capacity, 8);
        d.put(20, 8, 8);          // grain size
        d.put(28, 1, 8);          // descriptor at sector 1 ...
        d.put(36, 1, 8);          // ... one sector long
        d.put(44, 4, 4);          // entries per table
        d.put(56, 2, 8);          // directory
        d.text(512, descriptor);
        for (std::uint32_t t = 0; t < tables; ++t) d.put(1024 + 4 * t, 3 + t, 4);
        std::uint32_t sector = 3 + tables;
        for (const auto& [grain, fill] : grains) {
            d.put((3 + grain / 4) * 512 + 4 * (grain % 4), fill ? sector : 1, 4);
            if (fill) std::memset(&d.bytes.at(sector * 512), fill, 4096);
            sector += 8;
        }
        return d;
    }
};

std::unique_ptr<vmdk_disk> open_extent(const volume_test::disk_image& d, std::string& error) {
    auto disk = std::make_unique<vmdk_disk>();
    if (!disk->open(std::make_unique<memory_disk_bytes>(d.bytes), error)) return nullptr;
    return disk;
}

}  // namespace

TEST(VmdkChain, NewestGrainWinsAndHolesReadAsZeros) {
    extent_builder base;
    base.grains = {{0, 'a'}, {1, 'b'}, {2, 'x'}, {5, 'e'}};
    extent_builder child;
    child.descriptor = "CID=0000000b\nparentCID=0000000a\n";
    child.grains = {{1, 'c'}, {2, 0}};
    const auto base_bytes = base.build(), child_bytes = child.build();
    std::string error;
    std::vector<std::unique_ptr<vmdk_disk>> disks;
    disks.push_back(open_extent(child_bytes, error));  // any order
    disks.push_back(open_extent(base_bytes, error));
    ASSERT_TRUE(disks[0] && disks[1]) << error;
    vmdk_chain chain;
    ASSERT_TRUE(chain.open(std::move(disks), error)) << error;
    EXPECT_EQ(chain.size(), 128u * 512);

    // From the middle of grain 0 to the middle of grain 5: every grain boundary is crossed.
    std::vector<std::uint8_t> got(5 * 4096);
    ASSERT_TRUE(chain.read(2048, got.data(), static_cast<std::uint32_t>(got.size())));
    const std::string want = std::string(2048, 'a') + std::string(4096, 'c') + std::string(3 * 4096, '\0') +
                             std::string(2048, 'e');
    EXPECT_EQ(std::string(got.begin(), got.end()), want);
}

TEST(VmdkDisk, DamageIsRefusedWithItsReason) {
    const struct {
        const char* why;
        void (*spoil)(volume_test::disk_image&);
        const char* said;
    } cases[] = {
        {"magic", [](volume_test::disk_image& d) { d.text(0, "KDMW"); }, "no sparse extent header"},
        {"compressed", [](volume_test::disk_image& d) { d.put(8, 0x10001, 4); }, "compressed"},
        {"grain size", [](volume_test::disk_image& d) { d.put(20, 24, 8); }, "not a power of two"},
        {"table size", [](volume_test::disk_image& d) { d.put(44, 0, 4); }, "outside 1..4096"},
        {"descriptor", [](volume_test::disk_image& d) { d.put(28, 1u << 20, 8); }, "descriptor at sector 1048576"},
        {"directory", [](volume_test::disk_image& d) { d.put(56, 1u << 20, 8); }, "grain directory of 4 entries"},
        {"table", [](volume_test::disk_image& d) { d.put(1024 + 8, 4000, 4); }, "grain table 2 at sector 4000"},
        // 4096-entry tables at neighbouring sectors: each fits, together they claim 64 KiB of a 20 KiB file.
        {"tables", [](volume_test::disk_image& d) { d.put(44, 4096, 4), d.put(12, 4 * 4096 * 8, 8); },
         "4 grain tables claim more bytes than the file holds"},
    };
    extent_builder b;
    b.grains = {{0, 'a'}};
    for (const auto& c : cases) {
        auto d = b.build();
        d.bytes.resize(20 * 1024);  // room for a 16 KiB table at sector 6
        c.spoil(d);
        std::string error;
        EXPECT_FALSE(open_extent(d, error)) << c.why;
        EXPECT_NE(error.find(c.said), std::string::npos) << c.why << ": " << error;
    }
}
