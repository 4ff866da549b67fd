// Run lists of non-resident attributes: decoding and VCN to LCN mapping.
#pragma once

#include <cstdint>
#include <vector>

#include "support/binary_data.h"

namespace skelvar {

// One run-list entry as it stands on disk, kept for the record dump.
struct detailed_run {
    std::uint64_t lcn = 0;        // absolute cluster after applying the offset
    std::uint64_t magnitude = 0;  // absolute value of the relative offset
    std::uint32_t length = 0;     // clusters (truncated to 32 bits)
    std::uint64_t vcn = 0;
    bool negative = false;
    bool has_offset = false;      // the header byte declared offset bytes
    std::uint32_t attr_type = 0;
    std::uint64_t position = 0;   // offset of the entry inside the attribute
    std::vector<std::uint8_t> raw;
    std::vector<std::uint8_t> trailing;  // up to three bytes after the entry
};

// The reading form of a run.
struct compact_run {
    std::uint64_t lcn = 0;  // 0 for a sparse run
    std::uint64_t vcn = 0;
    std::uint64_t sparse = 0;
    std::uint32_t count = 0;
};

// Decodes the run list of a non-resident attribute record (header included).
// False for an empty attribute; a list cut short yields the runs read so far.
bool decode_run_list(kavo::binary_data attribute, std::vector<detailed_run>& runs);

// Decodes straight into the compact form (no per-run allocation).
bool decode_compact_runs(kavo::binary_data attribute, std::vector<compact_run>& runs);

std::vector<compact_run> compact_runs(const std::vector<detailed_run>& runs);

struct vcn_mapping {
    bool found = false;
    std::size_t run_index = 0;
    std::uint64_t lcn = 0;
    bool sparse = false;
};
vcn_mapping vcn_to_lcn(const std::vector<compact_run>& runs, std::uint64_t vcn);

}  // namespace skelvar
