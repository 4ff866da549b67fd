// The bytes that a copy of one non-resident stream holds, produced in order
// into a caller's sink a bounded piece at a time: sparse ranges, the zeros
// past the initialized size, compression units expanded (or, raw, the clusters
// as stored). Memory stays within one piece (1 MiB) or one compression unit
// (at most 2 MiB; larger units are refused), whatever the stream's size.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "ntfs/data_runs.h"

namespace skelvar {

// The one thing stream production needs from a volume.
class cluster_reader {
public:
    virtual ~cluster_reader() = default;
    // Fills `out` (count × cluster size bytes) from `count` clusters from `lcn` on.
    // False when any of them cannot be read (an LCN past the volume included).
    virtual bool read_clusters(std::uint64_t lcn, std::uint64_t count, std::span<std::uint8_t> out) = 0;
};

struct stream_geometry {
    std::span<const compact_run> runs;  // in VCN order; a list gathered from several records is fine
    std::uint64_t cluster_size = 0;
    std::uint64_t data_size = 0, initialized_size = 0, allocated_size = 0;
    // Compression unit in clusters for a compressed stream (the attribute's
    // exponent as `compression_unit_clusters` gives it); 0 for any other stream.
    std::uint64_t unit_clusters = 0;
};

struct stream_bytes_options {
    bool raw = false;          // the allocated size, every cluster as stored (compressed ones too)
    bool skip_sparse = false;  // sparse ranges (wholly sparse units of a compressed stream) add no bytes
};

enum class stream_bytes_status : std::uint8_t {
    complete,      // every byte produced
    damaged,       // every byte produced, but compressed data held faults: their bytes are zeros
    unmapped,      // the run list ends before the stream does: the bytes up to there were produced
    unreadable,    // a cluster read failed: the bytes before it were produced
    sink_refused,  // the sink returned false: production stopped there
    bad_geometry,  // cluster size or compression unit unusable: nothing produced
    no_clusters,   // the data lies in clusters and the source holds none (an extracted $MFT): nothing produced
};

struct stream_bytes_result {
    stream_bytes_status status = stream_bytes_status::complete;
    std::uint64_t written = 0;       // bytes handed to the sink
    std::uint64_t stopped_at = 0;    // stream offset where production stopped, or of the first damaged unit
    std::uint64_t sparse_bytes = 0;  // bytes of sparse ranges met (written as zeros or skipped)
    std::string message;             // what went wrong, for the user; empty when complete
    // True when the sink received the whole stream (possibly with damaged units).
    bool whole() const { return status == stream_bytes_status::complete || status == stream_bytes_status::damaged; }
};

// Receives the bytes in order; returning false stops production.
using stream_byte_sink = std::function<bool(std::span<const std::uint8_t>)>;
// Called after each piece with the stream offset reached and the stream length
// (at most a few MiB apart): the caller refreshes its progress line on its own clock.
using stream_progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Stream length before any sparse range is skipped: the allocated size raw, else
// the larger of the data size and the initialized size.
std::uint64_t stream_bytes_length(const stream_geometry& geometry, const stream_bytes_options& options);

// Clusters of a compression unit from the attribute header's exponent: 0 for 0
// (not compressed) and for exponents no volume uses (then the stream is bad_geometry).
std::uint64_t compression_unit_clusters(std::uint8_t exponent);

// Produces the stream's bytes into `sink`. Bytes from the initialized size to
// the data size are zeros (their clusters are not read). A compression unit
// whose clusters are all allocated is stored plain; one with sparse clusters
// (trailing, as written) holds LZNT1 data in its allocated clusters; a wholly
// sparse unit is zeros.
stream_bytes_result produce_stream_bytes(cluster_reader& reader, const stream_geometry& geometry,
                                         const stream_bytes_options& options, const stream_byte_sink& sink,
                                         const stream_progress& progress = {});

}  // namespace skelvar
