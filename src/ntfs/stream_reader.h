// Reading the content of a non-resident stream through its runs, cluster by
// cluster, from the volume. Content is raw: compressed or encrypted streams
// are not decoded here.
#pragma once

#include <cstdint>
#include <vector>

#include "ntfs/data_runs.h"

namespace skelvar {

class ntfs_volume;

struct stream_read_flags {
    bool include_sparse = true;  // sparse clusters read as zeros; otherwise they add no bytes
    bool sparse_met = false;     // set when the range crossed a sparse run
};

// Reads the stream bytes [offset, offset + length) into `buffer` (room for
// `length` bytes). Stops early at a cluster that no run maps or that cannot be
// read; `length` comes back as the bytes filled. False when none were.
bool read_stream_range(ntfs_volume& volume, const std::vector<compact_run>& runs, std::uint64_t offset,
                       std::uint8_t* buffer, std::uint64_t& length, stream_read_flags& flags);

// The leading bytes of a stream (signature tests, header bytes): fails at once
// for an empty buffer, length or run list.
bool read_first_bytes(ntfs_volume& volume, const std::vector<compact_run>& runs, std::uint64_t offset,
                      std::uint8_t* buffer, std::uint64_t& length, bool include_sparse);

}  // namespace skelvar
