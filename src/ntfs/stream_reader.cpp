#include "ntfs/stream_reader.h"

#include <algorithm>
#include <cstring>

#include "ntfs/ntfs_volume.h"

namespace skelvar {

namespace {

// Largest run of whole clusters read straight into the caller's buffer at once.
constexpr std::uint64_t max_direct_bytes = 8u << 20;

// Index of the run holding `vcn`, trying `hint` (the run that held the previous cluster) first.
std::size_t find_run(const std::vector<compact_run>& runs, std::uint64_t vcn, std::size_t hint) {
    for (std::size_t k = 0; k < 2 && hint + k < runs.size(); ++k) {
        const compact_run& r = runs[hint + k];
        if (vcn >= r.vcn && vcn - r.vcn < r.count) return hint + k;
    }
    const vcn_mapping m = vcn_to_lcn(runs, vcn);
    return m.found ? m.run_index : runs.size();
}

}  // namespace

bool read_stream_range(ntfs_volume& volume, const std::vector<compact_run>& runs, std::uint64_t offset,
                       std::uint8_t* buffer, std::uint64_t& length, stream_read_flags& flags) {
    const std::uint64_t cs = volume.cluster_size();
    const std::uint64_t wanted = std::min<std::uint64_t>(length, ~0ull - offset);
    length = 0;
    if (!buffer || wanted == 0 || cs == 0 || runs.empty() || !volume.has_reader()) return false;

    std::uint64_t pos = offset;            // stream position
    const std::uint64_t end = offset + wanted;
    std::uint64_t filled = 0;
    std::size_t hint = 0;
    bool bulk = true;  // off after a failed multi-cluster read: then one cluster at a time
    while (pos < end) {
        const std::uint64_t vcn = pos / cs, within = pos % cs;
        const std::size_t i = find_run(runs, vcn, hint);
        if (i == runs.size()) break;  // unmapped: the rest of the range is not there
        hint = i;
        const compact_run& r = runs[i];
        // Bytes of this run from pos on, within the requested range.
        const std::uint64_t run_bytes = (r.count - (vcn - r.vcn)) * cs - within;
        const std::uint64_t span = std::min(run_bytes, end - pos);
        if (r.sparse) {
            flags.sparse_met = true;
            if (flags.include_sparse) {
                std::memset(buffer + filled, 0, static_cast<std::size_t>(span));
                filled += span;
            }
            pos += span;
            continue;
        }
        const std::uint64_t lcn = r.lcn + (vcn - r.vcn);
        if (bulk && within == 0 && span >= cs) {
            // Whole clusters go straight into the buffer; after a failure the single-cluster
            // path finds how far the readable part goes.
            const std::uint64_t clusters = std::min(span, max_direct_bytes) / cs;
            if (volume.read_clusters(lcn, clusters, buffer + filled)) {
                filled += clusters * cs;
                pos += clusters * cs;
                continue;
            }
            bulk = false;
        }
        std::vector<std::uint8_t>& scratch = volume.cluster_scratch();
        if (!volume.read_clusters(lcn, 1, scratch.data())) break;
        const std::uint64_t n = std::min(cs - within, end - pos);
        std::memcpy(buffer + filled, scratch.data() + within, static_cast<std::size_t>(n));
        filled += n;
        pos += n;
    }
    length = filled;
    return filled > 0;
}

bool read_first_bytes(ntfs_volume& volume, const std::vector<compact_run>& runs, std::uint64_t offset,
                      std::uint8_t* buffer, std::uint64_t& length, bool include_sparse) {
    if (!buffer || length == 0 || runs.empty()) {
        length = 0;
        return false;
    }
    stream_read_flags flags;
    flags.include_sparse = include_sparse;
    return read_stream_range(volume, runs, offset, buffer, length, flags);
}

}  // namespace skelvar
