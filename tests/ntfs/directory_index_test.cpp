#include "ntfs/directory_index.h"

#include <gtest/gtest.h>

#include "common/record_builder.h"
#include "ntfs/synthetic_volume.h"

using namespace skelvar;
using namespace testing_support;

namespace {

// One index entry whose key is the $FILE_NAME of `name` in the root.
std::vector<std::uint8_t> index_entry(std::uint64_t ref, const std::u16string& name) {
    const std::vector<std::uint8_t> key = make_fn(5, name, 1, 0);
    std::vector<std::uint8_t> e(0x10, 0);
    e.insert(e.end(), key.begin(), key.end());
    e.resize((e.size() + 7) & ~std::size_t(7));
    put_le(e, 0x00, ref, 8);
    put_le(e, 0x08, e.size(), 2);
    put_le(e, 0x0A, key.size(), 2);
    return e;
}

// A node: header, the entries, then the entry that ends it.
std::vector<std::uint8_t> index_node(const std::vector<std::vector<std::uint8_t>>& entries) {
    std::vector<std::uint8_t> n(0x10, 0);
    for (const auto& e : entries) n.insert(n.end(), e.begin(), e.end());
    std::vector<std::uint8_t> last(0x10, 0);
    put_le(last, 0x08, 0x10, 2);
    put_le(last, 0x0C, 0x02, 2);
    n.insert(n.end(), last.begin(), last.end());
    put_le(n, 0x00, 0x10, 4);
    put_le(n, 0x04, n.size(), 4);
    put_le(n, 0x08, n.size(), 4);
    return n;
}

children_set parse(const std::vector<std::uint8_t>& node, bool slack = false) {
    children_set out;
    parse_index_node(kavo::binary_data(node), out, slack);
    return out;
}

void set_u16(std::vector<std::uint8_t>& b, std::size_t off, std::uint16_t v) { put_le(b, off, v, 2); }
void set_u32(std::vector<std::uint8_t>& b, std::size_t off, std::uint32_t v) { put_le(b, off, v, 4); }

}  // namespace

TEST(IndexNode, HostileHeadersAndEntriesStopTheWalk) {
    const auto good = index_node({index_entry(40, u"x"), index_entry(41, u"y")});
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
