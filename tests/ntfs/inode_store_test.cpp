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
synthetic_volume lost_mft() {
    synthetic_volume v;
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

// The names the walk finds after -regen_mft has rebuilt the $MFT from the scan.
std::map<std::uint64_t, std::u16string> regen(const synthetic_volume& v) {
    const fs::path dir = scratch_dir("istore");
    source_settings source;
    source.image_path = v.write(dir / "v.img").string();
    source.regen_mft = true;
    mft_fixture ctx;
    const bool in_memory = open_source(source, false, ctx.records) && ctx.records.volume()->in_memory();
    fs::remove_all(dir);
    if (in_memory) return ctx.walk_names();
    ADD_FAILURE() << "no in-memory $MFT";
    return {};
}

}  // namespace

TEST(InodeStore, HighestSequenceThenLaterChangeThenFirstFound) {
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
