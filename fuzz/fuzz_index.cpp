// libFuzzer harness for the directory index: an $INDEX_ROOT value and an
// $INDEX_ALLOCATION stream of INDX blocks, with and without the slack walk.
//
// Input: [0] block size 512 << (b % 8) (512 to 64 KiB); [1] bit 0: walk the
// slack too; the rest is read both as a root value and as the stream (a copy,
// since the fixups write into it).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ntfs/directory_index.h"
#include "ntfs/ntfs_types.h"
#include "support/binary_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint32_t block = 512u << (data[0] % 8);
    const bool slack = data[1] & 1;
    const std::span<const std::uint8_t> rest(data + 2, size - 2);

    skelvar::children_set children;
    skelvar::index_names names;
    // The node of a root value starts 0x10 bytes in.
    skelvar::parse_index_node(kavo::binary_data(rest).from(0x10), children, slack, block, &names);
    std::vector<std::uint8_t> stream(rest.begin(), rest.end());
    const std::uint32_t parsed = skelvar::parse_index_blocks(stream, block, children, slack, &names);

    // Children are 48-bit entry numbers, and every block parsed took at least a header.
    for (const std::uint64_t child : children)
        if (child > skelvar::type_mask_48) __builtin_trap();
    if (parsed > stream.size() / block + 1) __builtin_trap();
    for (const auto& [child, list] : names)
        if (!children.count(child) || list.empty()) __builtin_trap();
    return 0;
}
