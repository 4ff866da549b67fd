// The leading bytes of one attribute's stream, resident or not, as the
// per-entry actions and the signature filters read them.
#pragma once

#include <cstdint>
#include <vector>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

class ntfs_volume;

// The leading bytes of the data streams that the run reads: raised by the
// header actions, the signature filters and the record dump, each to the
// length it needs.
struct header_request {
    bool wanted = false;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;

    void want(std::uint32_t bytes) {
        wanted = true;
        if (length < bytes) length = bytes;
    }
};

// Reads [offset, offset + length) of the stream that `row` describes into `out`,
// cut at its data size. A resident value comes from the record; a non-resident
// one through `volume` (nothing without one). Bytes past the initialized size
// read as zeros, as NTFS returns them. Content is raw (not decompressed).
// False when no byte was read.
bool read_stream_head(const catalogue_row& row, ntfs_volume* volume, std::uint64_t offset, std::uint64_t length,
                      std::vector<std::uint8_t>& out);

}  // namespace skelvar
