// Which layout writes the selected entries of a run, and the one sink the walks hand them to.
#pragma once

#include <memory>
#include <ostream>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

struct mft_entries_ctx;

// In the order the choice is made: the first that applies wins.
enum class output_layout {
    record_dump,   // -find_mft
    timeline_csv,  // -csv
    body_file,     // -bodyfile
    log2timeline,  // -csvl2t
    hash_report,   // -hashfile
    per_path,      // -csvperpath, -action_copy_files
    path_only,     // -filepath_only
    timeline,      // the default
};

output_layout choose_layout(const mft_entries_ctx& ctx);

class report_sink {
public:
    report_sink(mft_entries_ctx& ctx, std::ostream& out);
    ~report_sink();
    report_sink(const report_sink&) = delete;
    report_sink& operator=(const report_sink&) = delete;

    output_layout layout() const;

    // Runs the per-entry actions, then writes the entry in the chosen layout.
    void write(mft_entry_info& entry);

    // End of the run: a run that reported nothing still leaves the header line of its layout.
    void finish();

private:
    struct impl;
    std::unique_ptr<impl> impl_;
};

}  // namespace skelvar
