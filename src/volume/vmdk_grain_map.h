// Where each grain of a sparse extent lies in its file: the grain directory and
// every grain table, loaded once so that a read needs no table I/O.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "volume/vmdk_header.h"

namespace skelvar {

class disk_bytes;

enum class grain_state {
    absent,     // this extent never wrote the grain: look further down the chain
    zeros,      // written as zeros: hides the parent's grain
    allocated,  // in the file at the offset returned
};

class vmdk_grain_map {
public:
    // Reads the directory and the tables it names. A directory or table that
    // runs past the end of the file, or tables that together claim more bytes
    // than the file holds, fail with the reason: they are damage, not a reason
    // to allocate.
    bool load(disk_bytes& file, const vmdk_sparse_header& header, std::string& error);

    // The state of the grain holding guest byte `offset`; for an allocated grain
    // `file_offset` is where that byte lies in the file.
    grain_state locate(std::uint64_t offset, std::uint64_t& file_offset) const;

    std::uint64_t grain_bytes() const { return grain_bytes_; }
    std::size_t directory_entries() const { return directory_.size(); }
    std::size_t loaded_tables() const { return entries_.size() / (per_table_ ? per_table_ : 1); }

private:
    static constexpr std::uint32_t no_table = 0xFFFFFFFF;

    std::vector<std::uint32_t> directory_;  // per directory entry: index of its table, or no_table
    std::vector<std::uint32_t> entries_;    // the tables, each per_table_ entries, end to end
    std::uint64_t grain_bytes_ = 0;
    std::uint64_t coverage_ = 0;
    std::uint32_t per_table_ = 0;
    bool zero_grains_ = false;
};

}  // namespace skelvar
