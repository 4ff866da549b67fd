// The $Secure:$SDS walk: built streams (mirror blocks, broken and hostile
// entries, holes) and the descriptors of the ntfs-3g fixtures.
#include "ntfs/secure_table.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "common/mft_fixture.h"
#include "common/test_support.h"
#include "ntfs/source_opening.h"
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

TEST(SdsWalk, EmptyTinyAndZeroStreams) {
    security_table t;
    EXPECT_EQ(load_sds_bytes({}, t), 0u);
    EXPECT_EQ(load_sds_bytes(bytes(0x13, 0), t), 0u);
    EXPECT_EQ(load_sds_bytes(bytes(0x100000, 0), t), 0u);
    EXPECT_TRUE(t.entries.empty());
}

class SdsOnVolume : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = scratch_dir("sds");
        synthetic_volume v;
        v.format();
        v.put_cluster(4, record_builder().non_resident(0x80, 0, run_list({{4, 1}}), 1024).build());
        // The stream's VCN 16 (after a 16-cluster hole) is cluster 20 of the volume.
        bytes cluster;
        put_entry(cluster, 0, 0x300, owner_only(544), 16 * 4096);
        cluster.resize(4096);
        v.put_cluster(20, cluster);
        vol_ = volume_on(v.write(dir_ / "v.img"));
        std::uint64_t off = 0;
        ASSERT_TRUE(open_volume(*vol_, off));
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
    std::unique_ptr<ntfs_volume> vol_;
};

TEST_F(SdsOnVolume, HolesAreSkippedAndTheWalkEndsWhereTheRunsDo) {
    // compact_run fields: lcn, vcn, sparse, count.
    security_table t;
    EXPECT_EQ(load_sds_stream(*vol_, {{0, 0, 1, 16}, {20, 16, 0, 1}}, 17 * 4096, t), 1u);
    EXPECT_EQ(owner_of(t, 0x300), "S-1-5-32-544");

    // A stream size far beyond its runs, and a hole of four billion clusters: both end at once.
    const auto start = std::chrono::steady_clock::now();
    security_table big;
    EXPECT_EQ(load_sds_stream(*vol_, {{0, 0, 1, 16}, {20, 16, 0, 1}}, 1ull << 60, big), 1u);
    security_table hole;
    EXPECT_EQ(load_sds_stream(*vol_, {{0, 0, 1, 0xFFFFFFFFu}, {20, 0xFFFFFFFFull, 0, 1}}, 1ull << 60, hole), 0u);
    // A run outside the volume reads nothing.
    security_table outside;
    EXPECT_EQ(load_sds_stream(*vol_, {{1u << 30, 0, 0, 64}}, 64 * 4096, outside), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// The ntfs-3g fixtures: mkntfs writes ids 256 and 257 for the system files; the "actions" volume, mounted
// with permissions, adds one per owner and mode.
class SecureTableFixture : public ::testing::Test {
protected:
    void SetUp() override { dir_ = scratch_dir("secure"); }
    void TearDown() override { fs::remove_all(dir_); }

    bool open(const std::string& name) {
        source_settings source;
        source.image_path = gunzip_to(source_dir() / "tests" / "fixtures" / "data" / (name + ".img.gz"), dir_).string();
        return open_source(source, false, ctx_.records).ok();
    }
    const security_table& table() {
        if (!table_.attempted) load_security_table(ctx_.entries, table_);
        return table_;
    }

    fs::path dir_;
    mft_fixture ctx_;
    security_table table_;
};

TEST_F(SecureTableFixture, BasicVolumeSystemDescriptors) {
    ASSERT_TRUE(open("basic"));
    const security_table& t = table();
    ASSERT_EQ(t.entries.size(), 2u);  // the mirror half of the 262396-byte stream adds nothing
    EXPECT_EQ(render_descriptor(*t.find(256)),
              "  Security Identifiers\n"
              "  owner sid [S-1-5-32-544]\n"
              "  group sid [S-1-5-32-544]\n"
              "\n"
              "  Discretionary Access Control List\n"
              "  access allowed  S-1-5-18        Local System    READ_CONTROL | SYNCHRONIZE\n"
              "  access allowed  S-1-5-32-544    Admins          READ_CONTROL | SYNCHRONIZE\n");
    EXPECT_EQ(t.find(257)->dacl[0].mask, "READ_CONTROL | SYNCHRONIZE");  // 0x12019f
}

TEST_F(SecureTableFixture, PermissionsVolumeOwnersAndDenials) {
    ASSERT_TRUE(open("actions"));
    const security_table& t = table();
    // user_file.txt (uid 1000, mode 0604): key 0x104 as ntfssecaudit reports it.
    const security_descriptor_info* d = t.find(0x104);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->group_sid, "S-1-5-21-3141592653-589793238-462843383-12001");
    ASSERT_EQ(d->dacl.size(), 5u);
    EXPECT_EQ(d->dacl[1].type, "access denied");
    EXPECT_EQ(d->dacl[1].sid, d->group_sid);
    EXPECT_EQ(d->dacl[2].sid, "S-1-1-0");
    EXPECT_EQ(d->dacl[2].name, "World");
    EXPECT_EQ(d->dacl[4].name, "Local System");
}

TEST_F(SecureTableFixture, ExtractedMftHasNoStore) {
    source_settings source;
    source.mftfile_path = gunzip_to(source_dir() / "tests" / "fixtures" / "data" / "basic.mft.gz", dir_).string();
    ASSERT_TRUE(open_source(source, false, ctx_.records));
    EXPECT_TRUE(table().entries.empty());
    EXPECT_TRUE(table_.attempted);
}

TEST_F(SecureTableFixture, ResidentDescriptorRenderedForTheRecordDump) {
    // ntfs-3g without permissions writes each new file's descriptor into its record: everyone, full control.
    ASSERT_TRUE(open("basic"));
    const std::string expected =
        "  Security Identifiers\n"
        "  owner sid [S-1-5-32-544]\n"
        "  group sid [S-1-5-32-544]\n"
        "\n"
        "  Discretionary Access Control List\n"
        "  access allowed  S-1-1-0         World           DELETE | READ_CONTROL | WRITE_DAC | WRITE_OWNER | "
        "SYNCHRONIZE\n";
    auto descriptor_text = [&](bool keep_content) {
        mft_entry_info e;
        EXPECT_TRUE(ctx_.entries.read_and_parse(76, e, keep_content));  // ads_host.txt
        for (const auto& [key, row] : e.catalogue)
            if (row.type == at_security_descriptor) return row.text;
        return std::string("<no descriptor>");
    };
    EXPECT_EQ(descriptor_text(true), expected);
    // The walks keep the bytes only; the text is made for the record dump.
    EXPECT_EQ(descriptor_text(false), "");
    ctx_.decode.render_descriptors = true;
    EXPECT_EQ(descriptor_text(false), expected);
}
