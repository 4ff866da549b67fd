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


children_set parse(const std::vector<std::uint8_t>& node, bool slack = false) {
    children_set out;
    parse_index_node(kavo::binary_data(node), out, slack);
    return out;
}

void set_u16(std::vector<std::uint8_t>& b, std::size_t off, std::uint16_t v) { put_index(b, off, v, 2); }
void set_u32(std::vector<std::uint8_t>& b, std::size_t off, std::uint32_t v) { put_index(b, off, v, 4); }

}  // namespace

TEST(IndexNode, HostileHeadersAndEntriesStopTheWalk) {
    const auto good = index_node({index_entry(40, u"x"), index_entry(41, u"y"), last_index_entry()});
    auto node = good;
    set_u32(node, 0x04, 0);  // no entries
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
}
