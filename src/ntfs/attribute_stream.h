// The bytes of one catalogued stream, whichever way it is stored: a resident
// value comes from the record, a non-resident one through the volume's
// clusters (expanded when compressed, unless raw).
#pragma once

#include <cstdint>

#include "ntfs/mft_entry_info.h"
#include "ntfs/stream_bytes.h"

namespace skelvar {

class ntfs_volume;

// True for a stream that holds no bytes to copy: an empty resident value, or a
// non-resident stream with no allocated clusters.
bool stream_is_empty(const catalogue_row& row);

// Length that production gives before any sparse range is left out.
std::uint64_t attribute_stream_length(const catalogue_row& row, const stream_bytes_options& options);

// Produces the stream of `row` into `sink`. Without a volume to read clusters
// from (an extracted $MFT file), a non-resident stream is `no_clusters`.
stream_bytes_result produce_attribute_bytes(const catalogue_row& row, ntfs_volume* volume,
                                            const stream_bytes_options& options, const stream_byte_sink& sink,
                                            const stream_progress& progress = {});

}  // namespace skelvar
