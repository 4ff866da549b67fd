#include "ntfs/inode_store.h"

#include <gtest/gtest.h>

#include "common/mft_fixture.h"
#include "common/test_support.h"
#include "ntfs/ntfs_volume.h"
#include "ntfs/source_opening.h"
#include "ntfs/synthetic_volume.h"

using namespace skelvar;
using namespace testing_support;
using testing_support::mft_fixture;
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t t0 = 130000000000000000ull;

std::vector<std::uint8_t> rec(std::uint32_t entry, std::uint16_t seq, std::uint64_t changed,
                              const std::u16string& name, std::uint16_t flags = 1) {
    return numbered(record_builder()
                        .flags(flags)
                        .sequence(seq)
                        .resident(0x10, 0, make_si(changed))
                        .resident(0x30, 1, make_fn(make_ref(5, 5), name, 1, t0))
                        .resident(0x80, 2, {0})
                        .build(),
                    entry);
}

// A volume whose $MFT runs point at nothing useful: only the scan can find its records.
synthetic_volume lost_mft(std::uint64_t clusters = 64) {
    synthetic_volume v;
    v.clusters = clusters;
    v.format();
    std::vector<std::uint8_t> mft = numbered(record_builder()
                                                 .resident(0x10, 0, make_si(t0))
                                                 .resident(0x30, 1, make_fn(make_ref(5, 5), u"$MFT", 3, t0))
                                                 .non_resident(0x80, 2, run_list({{60, 2}}), 8192)
                                                 .build(),
                                             0);
    v.put_cluster(4, mft);
    return v;
}

// Entries 1-7 in clusters 10 and 11, where the lost runs no longer say.
void fill_entries(synthetic_volume& v) {
    for (std::uint32_t n = 1; n < 8; ++n) v.put_cluster(10, rec(n, 1, t0, u"f"), (n % 4) * 1024 + (n / 4) * 4096);
}

class InodeStore : public ::testing::Test {
protected:
    void SetUp() override { dir_ = scratch_dir("istore"); }
    void TearDown() override { fs::remove_all(dir_); }

    bool open_regen(const synthetic_volume& v, mft_fixture& ctx, bool regen = true) {
        source_settings source;
        source.image_path = v.write(dir_ / "v.img").string();
        source.regen_mft = regen;
        return open_source(source, false, ctx.records) && ctx.records.volume()->in_memory();
    }
    std::map<std::uint64_t, std::u16string> regen(const synthetic_volume& v) {
        mft_fixture ctx;
        if (open_regen(v, ctx)) return ctx.walk_names();
        ADD_FAILURE() << "no in-memory $MFT";
        return {};
    }
    fs::path dir_;
};

}  // namespace

TEST_F(InodeStore, HighestSequenceThenLaterChangeThenFirstFound) {
    for (bool newer_first : {false, true}) {
        synthetic_volume v = lost_mft();
        fill_entries(v);
        v.put_cluster(newer_first ? 20 : 30, rec(40, 6, t0, u"six"));
        v.put_cluster(newer_first ? 30 : 20, rec(40, 5, t0 + 99, u"five"));
        // Same reference: the later change wins, then the first found.
        v.put_cluster(21, rec(7, 3, t0, u"old"));
        v.put_cluster(22, rec(7, 3, t0 + 50, u"new"));
        v.put_cluster(23, rec(7, 3, t0 + 10, u"between"));
        v.put_cluster(24, rec(8, 2, t0, u"first"));
        v.put_cluster(25, rec(8, 2, t0, u"second"));
        auto names = regen(v);
        EXPECT_EQ(names[40], u"six") << newer_first;
        EXPECT_EQ(names[7], u"new");
        EXPECT_EQ(names[8], u"first");
        EXPECT_EQ(names[0], u"$MFT");
        EXPECT_EQ(names.size(), 10u);
    }
}

TEST_F(InodeStore, StraysAndUnnumberedRecordsDoNotDistortTheMft) {
    synthetic_volume v = lost_mft();
    fill_entries(v);
    // Formatted but never numbered: claims entry 0 with a higher sequence number.
    v.put_cluster(30, rec(0, 23, t0, u"reserved", 0));
    // A stray claiming an entry number near 2^32.
    v.put_cluster(31, rec(0xFFFFFFF0u, 1, t0, u"stray"));
    mft_fixture ctx;
    ASSERT_TRUE(open_regen(v, ctx));
    EXPECT_EQ(ctx.records.volume()->entry_count(), 8u);
    EXPECT_EQ(ctx.records.volume()->memory_mft()->size_bytes(), 8u * 1024);
    auto names = ctx.walk_names();
    EXPECT_EQ(names[0], u"$MFT");
    EXPECT_EQ(names.size(), 8u);
}

TEST_F(InodeStore, DenseLimitLeavesOutFarEntries) {
    synthetic_volume v = lost_mft(4096);  // 16 MiB, so entry numbers up to 16K fit the volume
    fill_entries(v);
    v.put_cluster(100, rec(10000, 1, t0, u"far"));
    auto vol = volume_on(v.write(dir_ / "v.img"));
    inode_store_options options;
    options.free_mft_bytes = 64 * 1024;  // past 64 entries a quarter of the slots must be filled
    ASSERT_TRUE(build_inode_store(*vol, options));
    EXPECT_EQ(vol->entry_count(), 8u);

    auto again = volume_on(dir_ / "v.img");
    options.free_mft_bytes = 1ull << 30;
    ASSERT_TRUE(build_inode_store(*again, options));
    EXPECT_EQ(again->entry_count(), 10001u);

    auto capped = volume_on(dir_ / "v.img");
    options.max_mft_bytes = 100 * 1024;
    ASSERT_TRUE(build_inode_store(*capped, options));
    EXPECT_EQ(capped->entry_count(), 8u);
}

TEST_F(InodeStore, SmallOrEmptyFindsKeepTheRuns) {
    // A store of 4096 bytes or less leaves the volume reading through its runs.
    synthetic_volume small = lost_mft();
    small.put_cluster(10, rec(3, 1, t0, u"x"));
    auto vol = volume_on(small.write(dir_ / "small.img"));
    EXPECT_TRUE(build_inode_store(*vol));
    EXPECT_FALSE(vol->in_memory());

    synthetic_volume empty;
    empty.format();
    auto none = volume_on(empty.write(dir_ / "empty.img"));
    EXPECT_FALSE(build_inode_store(*none));
}

TEST_F(InodeStore, RebuildsAVolumeWhoseRecordZeroIsGone) {
    // Record 0 at the boot sector's $MFT cluster is wiped; a copy elsewhere (a mirror) survives.
    synthetic_volume v = lost_mft();
    const std::vector<std::uint8_t> mirror(v.bytes.begin() + 4 * 4096, v.bytes.begin() + 4 * 4096 + 1024);
    v.put_cluster(4, std::vector<std::uint8_t>(4096, 0));
    v.put_cluster(32, mirror);
    fill_entries(v);

    mft_fixture plain;
    source_settings source;
    source.image_path = v.write(dir_ / "v.img").string();
    const status s = open_source(source, false, plain.records);
    EXPECT_FALSE(s);
    EXPECT_NE(s.reason().find("record 0 of the $MFT"), std::string::npos) << s.reason();

    auto names = regen(v);
    EXPECT_EQ(names.size(), 8u);
    EXPECT_EQ(names[0], u"$MFT");
}
