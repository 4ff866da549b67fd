// Where MFT records come from: an extracted $MFT file, a volume, or a $MFT held in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ntfs/data_runs.h"

namespace skelvar {

class ntfs_volume;

class mft_source {
public:
    virtual ~mft_source() = default;
    virtual bool ready() const = 0;
    // Reads `length` bytes at `offset` of the $MFT data; false when short.
    virtual bool read_at(std::uint64_t offset, std::uint32_t length, std::uint8_t* out) = 0;
    // The same for a large sequential piece: straight into `out`, past any read-ahead window.
    virtual bool read_direct(std::uint64_t offset, std::uint32_t length, std::uint8_t* out) {
        return read_at(offset, length, out);
    }
    // Size of the $MFT data in bytes when known (file size), else 0.
    virtual std::uint64_t size_bytes() const = 0;
    // An extracted $MFT file: clusters of the volume cannot be read.
    virtual bool is_extracted_file() const = 0;
    // Record size the source knows (boot sector); 0 when it must be learned from record 0.
    virtual std::uint32_t known_record_size() const { return 0; }
    // The volume behind the source; null for an extracted $MFT file.
    virtual ntfs_volume* volume() { return nullptr; }
    // Entry count when the source knows it; 0 otherwise.
    virtual std::uint64_t entry_count() const { return 0; }
    // Reads the clusters of a run list in order into `out`, at most `max_bytes`
    // (non-resident attribute lists). Only a volume can; an extracted file cannot.
    virtual bool read_run_clusters(const std::vector<compact_run>& /*runs*/, std::uint64_t /*max_bytes*/,
                                   std::vector<std::uint8_t>& /*out*/) {
        return false;
    }
};

// An extracted $MFT file read with a sequential read-ahead window; null, with
// the reason, when it cannot be opened.
std::unique_ptr<mft_source> open_mft_file(const std::string& path, std::string& reason);

}  // namespace skelvar
