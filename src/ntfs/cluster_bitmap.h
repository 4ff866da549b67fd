// The cluster allocation bitmap of a volume ($Bitmap, entry 6): one bit per
// cluster, set when the cluster is allocated.
#pragma once

#include <cstdint>
#include <vector>

#include "support/status.h"

namespace skelvar {

class entry_reader;

class cluster_bitmap {
public:
    cluster_bitmap() = default;
    explicit cluster_bitmap(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    // Clusters the bitmap describes.
    std::uint64_t clusters() const { return static_cast<std::uint64_t>(bytes_.size()) * 8; }
    bool allocated(std::uint64_t cluster) const {
        return cluster >= clusters() || (bytes_[cluster >> 3] >> (cluster & 7)) & 1;
    }
    // The first run of free clusters at or after `from` and before `end`:
    // `first` and `count` set, true; false when there is none.
    bool next_free_run(std::uint64_t from, std::uint64_t end, std::uint64_t& first, std::uint64_t& count) const;

private:
    std::vector<std::uint8_t> bytes_;
};

// Reads the unnamed $DATA of entry 6 through the open volume, bounded by the
// clusters the volume has (and 512 MiB of bitmap). Fails, with the reason,
// without a volume or when the stream cannot be read.
status load_cluster_bitmap(const entry_reader& entries, cluster_bitmap& out);

}  // namespace skelvar
