// The record-sized slots of a volume's free clusters that start with a record
// signature. Runs of free clusters are read in large blocks and the slots
// checked in memory; the slots found are those that reading each slot by
// itself would find.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "ntfs/cluster_bitmap.h"

namespace skelvar {

class RAW_DISK_IO;

struct slot_geometry {
    std::uint64_t volume_offset = 0;  // where the volume starts in what the reader reads
    std::uint32_t cluster_size = 0;
    std::uint32_t record_size = 0;
};

struct slot_scan_settings {
    std::uint64_t first_cluster = 0;
    std::uint64_t end_cluster = ~0ull;  // clusters past the bitmap are never free
    // Bytes of free clusters read at once; 0 reads every slot by itself.
    std::uint32_t block_bytes = 1u << 20;
    std::uint64_t progress_interval = 153;  // clusters
};

struct slot_scan_counts {
    std::uint64_t free_clusters = 0;
    std::uint64_t slots = 0;  // record-sized slots looked at
    std::uint64_t found = 0;  // slots handed to the visitor
    std::uint64_t reads = 0;
};

// A slot whose first four bytes are "FILE" or "BAAD": its byte offset in the
// volume and its record-size bytes, valid during the call only.
using slot_visitor = std::function<void(std::uint64_t offset, std::span<const std::uint8_t> slot)>;
// Each free cluster whose number is a multiple of the progress interval, in order.
using cluster_progress = std::function<void(std::uint64_t cluster)>;

// Slots lie at every record size within each free cluster; a record larger
// than a cluster starts at each free cluster whose free run holds all of it.
// Slots that cannot be read whole are skipped.
slot_scan_counts scan_free_slots(RAW_DISK_IO& reader, const slot_geometry& geometry, const cluster_bitmap& bitmap,
                                 const slot_scan_settings& settings, const slot_visitor& visit,
                                 const cluster_progress& progress = {});

}  // namespace skelvar
