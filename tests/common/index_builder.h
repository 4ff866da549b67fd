// $I30 index nodes, $INDEX_ROOT values and INDX blocks built in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/record_builder.h"

namespace testing_support {

inline void put_index(std::vector<std::uint8_t>& b, std::size_t off, std::uint64_t v, int width) {
    if (b.size() < off + width) b.resize(off + width);
    for (int i = 0; i < width; ++i) b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// One index entry whose key is the $FILE_NAME of `name` in directory `parent`.
inline std::vector<std::uint8_t> index_entry(std::uint64_t ref, const std::u16string& name, std::uint64_t parent = 5,
                                             std::uint16_t flags = 0) {
    std::vector<std::uint8_t> key = make_fn(parent, name, 1, 0);
    std::vector<std::uint8_t> e(0x10, 0);
    e.insert(e.end(), key.begin(), key.end());
    e.resize((e.size() + 7) & ~std::size_t(7));
    put_index(e, 0x00, ref, 8);
    put_index(e, 0x08, e.size(), 2);
    put_index(e, 0x0A, key.size(), 2);
    put_index(e, 0x0C, flags, 2);
    return e;
}

// The entry that ends a node.
inline std::vector<std::uint8_t> last_index_entry() {
    std::vector<std::uint8_t> e(0x10, 0);
    put_index(e, 0x08, 0x10, 2);
    put_index(e, 0x0C, 0x02, 2);
    return e;
}

// A node: header, the entries, then `slack` bytes counted as allocated but unused.
inline std::vector<std::uint8_t> index_node(const std::vector<std::vector<std::uint8_t>>& entries,
                                            const std::vector<std::uint8_t>& slack = {}) {
    std::vector<std::uint8_t> n(0x10, 0);
    for (const auto& e : entries) n.insert(n.end(), e.begin(), e.end());
    const std::size_t total = n.size();
    n.insert(n.end(), slack.begin(), slack.end());
    put_index(n, 0x00, 0x10, 4);
    put_index(n, 0x04, total, 4);
    put_index(n, 0x08, n.size(), 4);
    return n;
}

// An $INDEX_ROOT value over file names holding `node`.
inline std::vector<std::uint8_t> index_root_value(const std::vector<std::uint8_t>& node,
                                                  std::uint32_t block_size = 4096) {
    std::vector<std::uint8_t> v(0x10, 0);
    put_index(v, 0x00, 0x30, 4);
    put_index(v, 0x04, 1, 4);
    put_index(v, 0x08, block_size, 4);
    v[0x0C] = 1;
    v.insert(v.end(), node.begin(), node.end());
    return v;
}

// An INDX block of `size` bytes holding the entries of `node` (made by index_node), with
// its update sequence array applied: each sector's last two bytes saved in the array and
// the sequence number written over them, as NTFS stores the block.
inline std::vector<std::uint8_t> indx_block(const std::vector<std::uint8_t>& node, std::uint32_t size = 4096,
                                            std::uint32_t sector = 512, std::uint16_t usn = 0x0007) {
    auto u32_at = [&](std::size_t off) {
        return static_cast<std::uint32_t>(node[off] | (node[off + 1] << 8) | (node[off + 2] << 16) |
                                          (node[off + 3] << 24));
    };
    std::vector<std::uint8_t> b(size, 0);
    const char sig[] = "INDX";
    for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(sig[i]);
    const std::uint32_t sectors = size / sector;
    const std::uint32_t usa = 0x28, count = sectors + 1;
    put_index(b, 0x04, usa, 2);
    put_index(b, 0x06, count, 2);
    const std::uint32_t node_at = 0x18;
    const std::uint32_t first = ((usa + 2 * count + 7) & ~7u) - node_at;
    put_index(b, node_at + 0x00, first, 4);
    put_index(b, node_at + 0x04, first + u32_at(4) - 0x10, 4);
    put_index(b, node_at + 0x08, first + u32_at(8) - 0x10, 4);
    for (std::size_t i = 0x10; i < node.size() && node_at + first + i - 0x10 < size; ++i)
        b[node_at + first + i - 0x10] = node[i];
    put_index(b, usa, usn, 2);
    for (std::uint32_t i = 1; i <= sectors; ++i) {
        const std::size_t tail = i * sector - 2;
        b[usa + 2 * i] = b[tail];
        b[usa + 2 * i + 1] = b[tail + 1];
        put_index(b, tail, usn, 2);
    }
    return b;
}

}  // namespace testing_support
