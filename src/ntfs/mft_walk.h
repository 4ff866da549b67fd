// The walks over the $MFT and the per-entry pipeline.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ntfs/entry_reader.h"
#include "ntfs/entry_visitor.h"
#include "ntfs/mft_entry_info.h"
#include "ntfs/path_resolver.h"
#include "ntfs/time_flags.h"
#include "support/status.h"

namespace skelvar {

struct walk_settings {
    std::u16string source_label = u"NTFS$MFT";  // copied into every entry
    std::uint64_t start = 0;                    // -mftstart
    std::uint64_t range = 0;                    // -mftrange; 0 = to the last entry
    bool list_in_range = false;                 // the entry-list walk keeps only entries in the range
    bool show_progress = true;
    std::uint64_t progress_interval = 53;       // entries between progress lines
    bool check_times = true;                    // time notes and flags; off for layouts that never show them
    std::uint64_t reference_time = 0;           // start of the run: later times are flagged; 0 = no test
    bool record_offsets = false;                // -filerecord_offset
    bool keep_record_bytes = false;             // the record dump shows the raw record
    // The scan of free clusters: its window in bytes of the volume (-scanstart, -scansize; 0 = to the end).
    std::uint64_t scan_start = 0;
    std::uint64_t scan_size = 0;
};

// What the last scan of free clusters met.
struct carve_counts {
    std::uint64_t free_clusters = 0;
    std::uint64_t slots = 0;    // record-sized slots looked at
    std::uint64_t records = 0;  // FILE and BAAD records with a valid header
    std::uint64_t reported = 0;
};

// Reads record 0 of the open source: the reader learns the record size and the
// entry count the range walk uses (the source's, else record 0's unnamed $DATA
// size over the record size, capped by the size of an extracted file). Fails,
// with the reason, when no source is open or record 0 cannot be used.
status count_mft_entries(const entry_reader& entries, std::uint64_t& count);

class mft_walk {
public:
    mft_walk(const entry_reader& entries, path_resolver& paths, const walk_settings& settings, entry_visitor& visitor)
        : entries_(entries), paths_(paths), settings_(settings), visitor_(visitor) {}

    // Every entry from the start entry through the range. Fails, with the reason,
    // when no source is open or record 0 cannot be read.
    status walk_range();
    // Only the listed entry numbers, in the order given (with `list_in_range`
    // only those from the start entry through the range).
    status walk_list(std::span<const std::uint64_t> entries);
    // The records left in the volume's free clusters ($Bitmap), each marked as
    // carved. Fails, with the reason, without a volume or a readable $Bitmap.
    status walk_unallocated();

    // The per-entry pipeline; true when the entry was selected (the visitor then wrote it).
    // `header` is the record's header, as the reader's checks read it.
    bool process(std::span<const std::uint8_t> record, std::uint64_t entry_number, mft_entry_info& entry,
                 const file_record_header& header);

    // Entries of the $MFT as counted from record 0 by the last walk.
    std::uint64_t entry_count() const { return count_; }
    const carve_counts& carved() const { return carved_; }

private:
    status begin();
    void learn_volume_created();
    std::uint64_t progress_interval() const;
    void step(std::uint64_t n);  // a progress step at entry `n`
    // A record found in free clusters at byte `offset` of the volume.
    void report_carved(std::span<const std::uint8_t> slot, std::uint64_t offset);
    bool run_pipeline(std::span<const std::uint8_t> record, std::uint64_t entry_number, mft_entry_info& entry,
                      std::uint64_t offset, bool carved, const file_record_header& header);

    const entry_reader& entries_;
    path_resolver& paths_;
    const walk_settings& settings_;
    entry_visitor& visitor_;
    std::vector<std::uint8_t> record_;
    mft_entry_info entry_;
    std::uint64_t count_ = 0;
    carve_counts carved_;
    time_bounds bounds_;
};

}  // namespace skelvar
