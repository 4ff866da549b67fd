#include "ntfs/ntfs_volume.h"

#include <gtest/gtest.h>

#include <chrono>

#include "common/mft_fixture.h"
#include "common/test_support.h"
#include "ntfs/source_opening.h"
#include "ntfs/synthetic_volume.h"
#include "ntfs/volume_mft_source.h"

using namespace skelvar;
using namespace testing_support;
using testing_support::mft_fixture;
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t some_time = 130000000000000000ull;

std::vector<std::uint8_t> mft_record0(const std::vector<std::uint8_t>& runs, std::uint64_t data_size,
                                      std::uint32_t size = 1024) {
    return record_builder(size)
        .resident(0x10, 0, make_si(some_time))
        .resident(0x30, 1, make_fn(make_ref(5, 5), u"$MFT", 3, some_time))
        .non_resident(0x80, 2, runs, data_size)
        .build();
}

std::vector<std::uint8_t> file_record(std::uint16_t seq, const std::u16string& name, std::uint32_t size = 1024) {
    return record_builder(size)
        .sequence(seq)
        .resident(0x10, 0, make_si(some_time + seq))
        .resident(0x30, 1, make_fn(make_ref(5, 5), name, 1, some_time))
        .resident(0x80, 2, {1, 2, 3})
        .build();
}

class NtfsVolume : public ::testing::Test {
protected:
    void SetUp() override { dir_ = scratch_dir("ntfsvol"); }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

// A $MFT in two runs: entries 0-3 at cluster 4, entries 4-11 at clusters 40-41.
synthetic_volume fragmented() {
    synthetic_volume v;
    v.format();
    v.put_cluster(4, mft_record0(run_list({{4, 1}, {40, 2}}), 12 * 1024));
    for (std::uint16_t n = 1; n < 12; ++n) {
        const std::uint64_t lcn = n < 4 ? 4 : 40 + (n - 4) / 4;
        v.put_cluster(lcn, file_record(n, u"f" + std::u16string(1, char16_t(u'a' + n))), (n % 4) * 1024);
    }
    return v;
}

}  // namespace

TEST_F(NtfsVolume, HostileRunsStayInsideTheVolume) {
    // Runs claiming 2^32 clusters, one far past the volume's end and one
    // overlapping the first: the map keeps only clusters of this 64-cluster volume.
    synthetic_volume v;
    v.format();
    v.put_cluster(4, mft_record0(run_list({{4, 0xFFFFFFFF}, {1ll << 40, 0xFFFFFFFF}, {0, 0xFFFFFFFF}}),
                                 1ull << 50));
    auto vol = volume_on(v.write(dir_ / "hostile.img"));
    std::uint64_t off = 0;
    ASSERT_TRUE(open_volume(*vol, off));
    EXPECT_LE(vol->mft_mapped_bytes(), 64u * 4096);
    EXPECT_LE(vol->entry_count(), 64u * 4);
    EXPECT_EQ(entry_offset(*vol, 1ull << 40), 0u);

    mft_fixture ctx;
    ctx.records.attach(std::make_unique<volume_mft_source>(std::move(vol)));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ctx.walk_names().size(), 1u);  // only record 0 is a record
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(NtfsVolume, MftOutsideTheVolumeOrUnusableRecordZeroFailsTheOpen) {
    std::uint64_t off = 0;
    auto opens = [&](void (*change)(synthetic_volume&)) {
        synthetic_volume v = fragmented();
        change(v);
        return open_volume(*volume_on(v.write(dir_ / "bad.img")), off);
    };
    // $MFT cluster pointing at zeros, no cluster size, record 0's allocated size 0.
    EXPECT_FALSE(opens([](synthetic_volume& v) { v.mft_cluster = 2; v.write_boot(); }));
    EXPECT_FALSE(opens([](synthetic_volume& v) { v.sectors_per_cluster = 0; v.write_boot(); }));
    EXPECT_FALSE(opens([](synthetic_volume& v) { put_le(v.bytes, 4 * 4096 + 0x1C, 0, 4); }));

    // The image ends inside the $MFT: what lies past the end is not read.
    synthetic_volume v = fragmented();
    v.bytes.resize(40 * 4096 + 2048);
    auto vol = volume_on(v.write(dir_ / "short.img"));
    ASSERT_TRUE(open_volume(*vol, off));
    mft_fixture ctx;
    ctx.records.attach(std::make_unique<volume_mft_source>(std::move(vol)));
    std::vector<std::uint8_t> rec;
    EXPECT_EQ(ctx.records.read_record(5, rec), record_status::ok);
    EXPECT_EQ(ctx.records.read_record(6, rec), record_status::unreadable);

    ntfs_volume none(nullptr, 0);  // no reader, no volume
    EXPECT_FALSE(open_volume(none, off));
    EXPECT_FALSE(none.ready());
}

TEST_F(NtfsVolume, SourcesThatCannotBeOpened) {
    const fs::path disk = fragmented().write(dir_ / "disk.img", std::vector<std::uint8_t>(65536, 0xCC));
    struct open_case {
        source_settings source;
        const char* reason;
    };
    std::vector<open_case> cases(3);
    cases[0] = {{}, "no NTFS boot sector there"};  // the volume lies at an offset not given
    cases[0].source.image_path = disk.string();
    cases[1] = {{}, "No such file"};
    cases[1].source.image_path = (dir_ / "no-such.img").string();
    cases[2] = {{}, "device path"};
    cases[2].source.mounted_vmdk_path = disk.string();
    for (const open_case& c : cases) {
        mft_fixture ctx;
        const status s = open_source(c.source, false, ctx.records);
        EXPECT_FALSE(s);
        EXPECT_NE(s.reason().find(c.reason), std::string::npos) << s.reason();
        EXPECT_FALSE(ctx.records.ready());
    }

}

