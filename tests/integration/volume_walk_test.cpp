// Walks whole NTFS volumes through ntfs_volume and compares every entry with the
// walk of the same volume's $MFT as The Sleuth Kit extracts it (icat image 0).
// Fixtures: tests/fixtures/make_volume_images.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/mft_fixture.h"
#include "common/test_support.h"
#include "ntfs/memory_mft_source.h"
#include "ntfs/ntfs_volume.h"
#include "ntfs/source_opening.h"

namespace fs = std::filesystem;
using namespace skelvar;
using testing_support::gunzip_to;
using testing_support::mft_fixture;
using testing_support::scratch_dir;

namespace {

// What the comparison looks at for one entry.
struct entry_view {
    std::uint16_t sequence = 0;
    bool in_use = false;
    std::set<std::pair<std::u16string, std::uint64_t>> names;  // (name, parent reference)
    std::vector<std::uint64_t> si_times;
    std::set<std::u16string> streams;
    bool list_outside = false;  // its attribute list lies in clusters (readable only through the volume)
    bool operator==(const entry_view&) const = default;
};

using walk_result = std::map<std::uint64_t, entry_view>;

walk_result walk(mft_fixture& ctx) {
    walk_result out;
    ctx.walk_all([&](mft_entry_info& e) {
        entry_view v;
        v.sequence = e.sequence_number;
        v.in_use = e.in_use();
        for (const auto& [key, fn] : e.file_names) v.names.emplace(fn.name, fn.parent_ref);
        if (const standard_info* si = e.standard())
            v.si_times = {si->created, si->modified, si->mft_changed, si->accessed};
        for (const auto& [key, row] : e.catalogue)
            if (row.is_data) v.streams.insert(row.name);
        v.list_outside = e.attribute_list_non_resident;
        out[e.entry_number] = std::move(v);
    });
    return out;
}

// An extracted $MFT: the record size is learned from record 0, as -mftfile does.
walk_result walk_extracted_bytes(std::vector<std::uint8_t> mft) {
    mft_fixture ctx;
    ctx.records.attach(std::make_unique<memory_mft_source>(std::move(mft)));
    return walk(ctx);
}

walk_result walk_extracted(const fs::path& mft) { return walk_extracted_bytes(testing_support::read_bytes(mft)); }

bool open_image(mft_fixture& ctx, const fs::path& image) {
    source_settings source;
    source.image_path = image.string();
    return open_source(source, false, ctx.records).ok();
}

walk_result walk_image(const fs::path& image) {
    mft_fixture ctx;
    return open_image(ctx, image) ? walk(ctx) : walk_result{};
}

fs::path fixture(const std::string& name) { return testing_support::source_dir() / "tests/fixtures/data" / name; }

// Every entry equal. An attribute list held in clusters is read through the
// volume; the extracted walk finds the same attributes by the extension
// records' base references.
void expect_same(const walk_result& volume, const walk_result& extracted, bool expect_lists = true) {
    ASSERT_FALSE(extracted.empty());
    EXPECT_EQ(volume.size(), extracted.size());
    int lists = 0;
    for (const auto& [n, v] : extracted) {
        auto it = volume.find(n);
        if (it == volume.end()) {
            ADD_FAILURE() << "entry " << n << " missing from the volume walk";
            continue;
        }
        EXPECT_TRUE(it->second == v) << "entry " << n << " differs";
        lists += v.list_outside;
    }
    if (expect_lists) {
        EXPECT_GE(lists, 1) << "the fixture is meant to hold a non-resident attribute list";
    }
}

class VolumeFixture : public ::testing::Test {
protected:
    void SetUp() override { dir_ = scratch_dir("volwalk"); }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path unpack(const std::string& name) { return gunzip_to(fixture(name), dir_); }
    fs::path dir_;
};

}  // namespace

TEST_F(VolumeFixture, FourKnVolumeMatchesItsExtractedMft) {
    const fs::path image = unpack("ntfsvol_4kn.img.gz");
    expect_same(walk_image(image), walk_extracted(unpack("ntfsvol_4kn.mft.gz")));
}

TEST_F(VolumeFixture, FragmentedMftMatchesItsExtractedMft) {
    const fs::path image = unpack("ntfsvol_frag.img.gz");
    mft_fixture ctx;
    ASSERT_TRUE(open_image(ctx, image));
    ntfs_volume* vol = ctx.records.volume();
    ASSERT_NE(vol, nullptr);
    ASSERT_GE(vol->mft_runs().size(), 3u) << "the fixture's $MFT is meant to be fragmented";
    // An entry in the last run lies where only the runs can say.
    const compact_run& last = vol->mft_runs().back();
    const std::uint64_t n = last.vcn * vol->cluster_size() / vol->record_size();
    EXPECT_EQ(entry_offset(*vol, n), last.lcn * vol->cluster_size());
    EXPECT_FALSE(vol->bitmap_runs().empty());

    expect_same(walk(ctx), walk_extracted(unpack("ntfsvol_frag.mft.gz")));
}

namespace {

// The walk of a volume's own $MFT bytes as an extracted file would give them.
walk_result walk_own_mft(const fs::path& image) {
    mft_fixture vctx;
    if (!open_image(vctx, image)) return {};
    ntfs_volume* vol = vctx.records.volume();
    std::vector<std::uint8_t> mft(static_cast<std::size_t>(vol->mft_mapped_bytes()));
    if (!vol->read_mft_bytes(0, static_cast<std::uint32_t>(mft.size()), mft.data())) return {};
    return walk_extracted_bytes(std::move(mft));
}

class SharedVolume : public VolumeFixture {
protected:
    fs::path shared(const std::string& name) {
        const auto bytes = testing_support::shared_sample(name);
        if (bytes.empty()) return {};
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }
};

}  // namespace

// Entry 27 and its extension records 28 to 38 use the older header layout (no
// record number); its attribute list lies in clusters and names its 100 names there.
TEST_F(SharedVolume, OlderLayoutAndAttributeListInClusters) {
    const fs::path image = shared("ntfs3_attrlist.raw");
    SKIP_WITHOUT_SAMPLE(!image.empty(), "ntfs3_attrlist.raw");
    const walk_result volume = walk_image(image);
    expect_same(volume, walk_own_mft(image));
    ASSERT_TRUE(volume.count(27));
    EXPECT_TRUE(volume.at(27).list_outside);
    EXPECT_EQ(volume.at(27).names.size(), 100u);
}
