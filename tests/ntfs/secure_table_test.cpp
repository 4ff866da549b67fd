// The $Secure:$SDS walk: built streams (mirror blocks, broken and hostile
// entries, holes) and the descriptors of the ntfs-3g fixtures.
#include "ntfs/secure_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "ntfs/synthetic_volume.h"

using namespace skelvar;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

using bytes = std::vector<std::uint8_t>;

// A descriptor with an owner SID S-1-5-32-<rid> and nothing else.
bytes owner_only(std::uint32_t rid) {
    bytes sd(0x14, 0);
    sd[0] = 1;
    sd[4] = 0x14;
    const std::uint8_t sid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0};
    sd.insert(sd.end(), std::begin(sid), std::end(sid));
    for (int i = 0; i < 4; ++i) sd.push_back(static_cast<std::uint8_t>(rid >> (8 * i)));
    return sd;
}

// Writes an $SDS entry at `pos`; `offset_field` and `length` default to what a sound entry holds.
void put_entry(bytes& sds, std::uint64_t pos, std::uint32_t id, const bytes& sd, std::int64_t offset_field = -1,
               std::int64_t length = -1) {
    const std::uint64_t len = length < 0 ? 0x14 + sd.size() : static_cast<std::uint64_t>(length);
    put_le(sds, pos + 0x00, 0x12345678, 4);
    put_le(sds, pos + 0x04, id, 4);
    put_le(sds, pos + 0x08, offset_field < 0 ? pos : static_cast<std::uint64_t>(offset_field), 8);
    put_le(sds, pos + 0x10, len, 4);
    if (sds.size() < pos + 0x14 + sd.size()) sds.resize(pos + 0x14 + sd.size());
    std::copy(sd.begin(), sd.end(), sds.begin() + static_cast<std::ptrdiff_t>(pos + 0x14));
}

std::string owner_of(const security_table& t, std::uint32_t id) {
    const security_descriptor_info* d = t.find(id);
    return d ? d->owner_sid : "<none>";
}

}  // namespace

TEST(SdsWalk, MirrorBlockYieldsEachIdOnce) {
    // Two entries in the first 256 KiB block, its mirror in the second (offset fields of the primary),
    // then a third entry in the third block.
    bytes sds(0x80000, 0);
    put_entry(sds, 0x00, 0x100, owner_only(544));
    put_entry(sds, 0x40, 0x101, owner_only(545));  // 0x14 + 0x24 = 0x38, rounded to 0x40
    std::copy(sds.begin(), sds.begin() + 0x40000, sds.begin() + 0x40000);
    put_entry(sds, 0x80000, 0x102, owner_only(546));
    security_table t;
    EXPECT_EQ(load_sds_bytes(sds, t), 3u);
    EXPECT_EQ(t.entries.size(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(owner_of(t, 0x100 + i), "S-1-5-32-" + std::to_string(544 + i));
}

TEST(SdsWalk, BrokenEntriesArePassedOver) {
    bytes sds;
    put_entry(sds, 0x000, 0x200, owner_only(500), 0x999);      // offset field not its position
    put_entry(sds, 0x040, 0x201, owner_only(501), -1, 0x28);   // length not above 0x28
    bytes bad_revision = owner_only(502);
    bad_revision[0] = 2;
    put_entry(sds, 0x080, 0x202, bad_revision);                // descriptor does not parse
    put_entry(sds, 0x0C0, 0x203, owner_only(503));
    put_entry(sds, 0x100, 0x203, owner_only(504));             // the id again: the first one stays
    put_entry(sds, 0x140, 0x204, owner_only(505), -1, 0xFFFFFFF0);  // longer than the stream
    put_entry(sds, 0x180, 0x205, owner_only(506));
    sds.resize(0x1C0);
    put_entry(sds, 0x1C0, 0x206, owner_only(507));
    sds.resize(0x1C0 + 0x30);  // the last entry is cut by the end of the stream
    security_table t;
    EXPECT_EQ(load_sds_bytes(sds, t), 2u);
    EXPECT_EQ(owner_of(t, 0x203), "S-1-5-32-503");
    EXPECT_EQ(owner_of(t, 0x205), "S-1-5-32-506");
    for (std::uint32_t id : {0x200u, 0x201u, 0x202u, 0x204u, 0x206u}) EXPECT_EQ(t.find(id), nullptr) << id;
}
