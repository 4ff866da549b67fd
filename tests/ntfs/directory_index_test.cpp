#include "ntfs/directory_index.h"

#include <gtest/gtest.h>

#include "common/mft_fixture.h"
#include "common/index_builder.h"
#include "common/record_builder.h"
#include "common/test_support.h"
#include "ntfs/memory_mft_source.h"
#include "ntfs/synthetic_volume.h"

using namespace skelvar;
using namespace testing_support;

namespace {

constexpr std::uint64_t t0 = 132223104000000000ull;

children_set parse(const std::vector<std::uint8_t>& node, bool slack = false) {
    children_set out;
    parse_index_node(kavo::binary_data(node), out, slack);
    return out;
}

void set_u16(std::vector<std::uint8_t>& b, std::size_t off, std::uint16_t v) { put_index(b, off, v, 2); }
void set_u32(std::vector<std::uint8_t>& b, std::size_t off, std::uint32_t v) { put_index(b, off, v, 4); }

}  // namespace

TEST(IndexNode, ChildrenUpToTheLastEntryAndSlackOnRequest) {
    // A removed name left in the slack after the last entry.
    const auto node = index_node({index_entry(make_ref(64, 3), u"a.txt"), index_entry(make_ref(65, 1), u"B~1.TXT"),
                                  index_entry(make_ref(65, 1), u"b long.txt"),
                                  index_entry(make_ref(70, 2), u"sub", 5, 0x01), last_index_entry()},
                                 index_entry(make_ref(99, 4), u"gone.txt"));
    EXPECT_EQ(parse(node), (children_set{64, 65, 70}));
    EXPECT_EQ(parse(node, true), (children_set{64, 65, 70, 99}));
    // The keys' names, one list per child.
    children_set set;
    index_names names;
    parse_index_node(kavo::binary_data(node), set, false, default_index_block, &names);
    EXPECT_EQ(names, (index_names{{64, {u"a.txt"}}, {65, {u"B~1.TXT", u"b long.txt"}}, {70, {u"sub"}}}));
}

TEST(IndexNode, HostileHeadersAndEntriesStopTheWalk) {
    const auto good = index_node({index_entry(40, u"x"), index_entry(41, u"y"), last_index_entry()});
    auto node = good;
    set_u32(node, 0x04, 0);  // no entries
    EXPECT_TRUE(parse(node).empty());
    node = good;
    set_u32(node, 0x04, 5000);  // larger than any block
    EXPECT_TRUE(parse(node).empty());
    node = good;
    set_u32(node, 0x00, 4);  // first entry inside the header
    EXPECT_TRUE(parse(node).empty());
    node = good;
    set_u16(node, 0x10 + 0x08, 0);  // first entry of length 0: no endless loop
    EXPECT_TRUE(parse(node, true).empty());
    node = good;
    const std::size_t second = 0x10 + index_entry(40, u"x").size();
    set_u16(node, second + 0x0A, 0x200);  // key longer than its entry
    EXPECT_EQ(parse(node), (children_set{40}));
    set_u16(node, second + 0x08, 0x400);  // entry longer than any name needs
    EXPECT_EQ(parse(node, true), (children_set{40}));
    // A node cut short of its declared size is read only as far as it goes.
    node = good;
    node.resize(0x18);
    EXPECT_TRUE(parse(node).empty());
    // Minimal 16-byte entries that never say "last" end with the node.
    std::vector<std::vector<std::uint8_t>> tiny;
    for (int i = 0; i < 200; ++i) {
        std::vector<std::uint8_t> e(0x10, 0);
        put_index(e, 0, 1000 + i, 8);
        set_u16(e, 0x08, 0x10);
        tiny.push_back(e);
    }
    EXPECT_EQ(parse(index_node(tiny)).size(), 200u);
}

TEST(IndexBlocks, FixupsAppliedAndOtherBlocksPassedOver) {
    std::vector<std::vector<std::uint8_t>> entries;
    children_set expected;
    for (int i = 1; i <= 30; ++i) {
        std::u16string name = u"file_0" + std::u16string(1, static_cast<char16_t>(u'0' + i / 10)) +
                              std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u".txt";
        entries.push_back(index_entry(make_ref(100 + i, 1), name, 83));
        expected.insert(100 + i);
    }
    entries.push_back(last_index_entry());
    const auto node = index_node(entries);
    std::vector<std::uint8_t> plain = indx_block(node, 4096, 4096);  // one sector: only the fixup at 4094
    std::vector<std::uint8_t> stream = indx_block(node);
    std::vector<std::uint8_t> original_tail(stream.begin() + 0x28 + 2, stream.begin() + 0x28 + 4);
    stream.resize(3 * 4096, 0);  // an unused (zero) block
    std::vector<std::uint8_t> hollow = indx_block(index_node({last_index_entry()}));
    stream.insert(stream.end(), hollow.begin(), hollow.end());

    children_set found;
    EXPECT_EQ(parse_index_blocks(stream, 4096, 512, found, false), 2u);
    EXPECT_EQ(found, expected);
    // The sector tail got its saved bytes back.
    EXPECT_EQ(stream[510], original_tail[0]);
    EXPECT_EQ(stream[511], original_tail[1]);

    children_set big_sectors;
    EXPECT_EQ(parse_index_blocks(plain, 4096, 4096, big_sectors, false), 1u);
    EXPECT_EQ(big_sectors, expected);
}

TEST(ReadChildren, AttributeListRootAndMissingAllocation) {
    std::vector<std::vector<std::uint8_t>> recs(40);
    // Another index (not file names) in the same record is not read.
    recs[31] = record_builder()
                   .flags(3)
                   .resident(0x30, 1, make_fn(make_ref(5, 5), u"listed", 1, t0))
                   .resident(0x20, 2, attr_list_entry(0x90, 7, make_ref(32, 1)))
                   .resident(0x90, 3, index_root_value(index_node({index_entry(36, u"sdh"), last_index_entry()})),
                             u"$SDH")
                   .build();
    // The $I30 root lives in extension record 32.
    recs[32] = record_builder()
                   .flags(1)
                   .base_ref(make_ref(31, 1))
                   .resident(0x90, 7, index_root_value(index_node({index_entry(37, u"c"), last_index_entry()})),
                             u"$I30")
                   .build();
    // A large directory: its INDX blocks are out of reach without the volume.
    recs[33] = record_builder()
                   .flags(3)
                   .resident(0x30, 1, make_fn(make_ref(5, 5), u"large", 1, t0))
                   .resident(0x90, 2, index_root_value(index_node({index_entry(38, u"m", 33, 1), last_index_entry()})),
                             u"$I30")
                   .non_resident(0xA0, 3, {0x11, 0x02, 0x10}, 8192, u"$I30")
                   .build();
    recs[34] = record_builder().resident(0x30, 1, make_fn(make_ref(5, 5), u"plain file", 1, t0)).build();

    testing_support::mft_fixture f(recs);
    const entry_reader& ctx = f.entries;
    children_set set;
    index_read_status st;
    EXPECT_TRUE(read_children(ctx, 31, set, false, &st));
    EXPECT_EQ(set, (children_set{37}));
    EXPECT_FALSE(st.allocation_found);

    set.clear();
    EXPECT_TRUE(read_children(ctx, 33, set, false, &st));
    EXPECT_EQ(set, (children_set{38}));
    EXPECT_TRUE(st.root_found);
    EXPECT_TRUE(st.allocation_found);
    EXPECT_FALSE(st.allocation_read);

    set.clear();
    EXPECT_FALSE(read_children(ctx, 34, set));  // a file has no index
    EXPECT_FALSE(read_children(ctx, 39, set));  // an empty record
    EXPECT_FALSE(read_children(ctx, 1000, set));  // beyond the $MFT
    EXPECT_TRUE(set.empty());
}

TEST(IndexAllocation, BlocksThroughTheVolumeWithHostileSizesAndRuns) {
    const auto dir = scratch_dir("index_alloc");
    synthetic_volume v;
    v.format();
    v.put_cluster(4, record_builder().non_resident(0x80, 0, run_list({{4, 1}}), 1024).build());
    v.put_cluster(20, indx_block(index_node({index_entry(make_ref(100, 1), u"a"), last_index_entry()})));
    v.put_cluster(21, std::vector<std::uint8_t>(4096, 0xEE));  // not an INDX block
    v.put_cluster(22, indx_block(index_node({index_entry(make_ref(101, 1), u"b"), last_index_entry()})));
    auto volume = volume_on(v.write(dir / "v.img"));
    std::uint64_t off = 0;
    ASSERT_TRUE(open_volume(*volume, off));

    catalogue_row row;
    row.type = 0xA0;
    row.non_resident = 1;
    row.allocated_size = 1ull << 62;  // believed only as far as the runs and the volume go
    // compact_run fields: lcn, vcn, sparse, count.
    row.runs = {{20, 0, 0, 3}, {0, 3, 1, 2}, {1ull << 40, 5, 0, 0xFFFFFFFF}};
    children_set set;
    std::uint32_t blocks = 0;
    EXPECT_TRUE(read_index_allocation(*volume, row, 4096, set, false, &blocks));
    EXPECT_EQ(blocks, 2u);
    EXPECT_EQ(set, (children_set{100, 101}));

    row.runs = {{1ull << 40, 0, 0, 16}};  // nothing readable
    set.clear();
    EXPECT_FALSE(read_index_allocation(*volume, row, 4096, set, false));
    row.non_resident = 0;
    EXPECT_FALSE(read_index_allocation(*volume, row, 4096, set, false));
    EXPECT_TRUE(set.empty());
    std::filesystem::remove_all(dir);
}
