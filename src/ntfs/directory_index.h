// The children of a directory from its "$I30" file-name index: the resident
// $INDEX_ROOT node and the INDX records of the $INDEX_ALLOCATION stream.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>
#include <span>

#include "ntfs/mft_entry_info.h"
#include "support/binary_data.h"

namespace skelvar {

class entry_reader;
class ntfs_volume;

// 48-bit entry numbers of the children.
using children_set = std::set<std::uint64_t>;
// The names the index keys give each child (one key per name: long, DOS, hard links here).
using index_names = std::map<std::uint64_t, std::vector<std::u16string>>;

// INDX blocks are read at this size unless $INDEX_ROOT names another sane one.
constexpr std::uint32_t default_index_block = 4096;

// What reading one directory's index met.
struct index_read_status {
    bool root_found = false;         // an $I30 $INDEX_ROOT was parsed
    bool allocation_found = false;   // an $I30 $INDEX_ALLOCATION exists
    bool allocation_read = false;    // ... and at least one INDX block of it was parsed
    std::uint32_t blocks_parsed = 0;
};

// Adds the children of one index node. `node` starts at the node header and
// reaches to the end of the buffer holding it (value or INDX block). With
// `include_slack` the walk goes on past the last entry into the unused part.
void parse_index_node(kavo::binary_data node, children_set& children, bool include_slack,
                      std::uint32_t block_size = default_index_block, index_names* names = nullptr);

// Fixes up and parses every INDX block of an index allocation stream held in memory.
std::uint32_t parse_index_blocks(std::span<std::uint8_t> stream, std::uint32_t block_size, children_set& children,
                                 bool include_slack, index_names* names = nullptr);

// Reads an $INDEX_ALLOCATION through the volume, block by block. True when at least one INDX block was parsed.
bool read_index_allocation(ntfs_volume& volume, const catalogue_row& attribute, std::uint32_t block_size,
                           children_set& children, bool include_slack, std::uint32_t* blocks_parsed = nullptr,
                           index_names* names = nullptr);

// Children of directory `entry`: its $I30 root node, then its allocation when the
// source is a volume. True when an $I30 index was found.
bool read_children(const entry_reader& entries, std::uint64_t entry, children_set& children, bool include_slack = false,
                   index_read_status* status = nullptr, index_names* names = nullptr);

}  // namespace skelvar
