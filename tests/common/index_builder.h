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

}  // namespace testing_support
