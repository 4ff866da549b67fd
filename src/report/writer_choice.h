// Which layout writes the selected entries of a run, and the one sink the walks hand them to.
#pragma once

#include <memory>
#include <ostream>

#include "ntfs/mft_entry_info.h"
#include "report/entry_actions.h"
#include "report/layout_writer.h"
#include "report/report_context.h"

namespace skelvar {

// In the order the choice is made: the first that applies wins.
enum class output_layout {
    record_dump,   // -find_mft
    json_lines,    // -jsonl
    timeline_csv,  // -csv
    body_file,     // -bodyfile
    log2timeline,  // -csvl2t
    hash_report,   // -hashfile
    per_path,      // -csvperpath, -action_copy_files
    path_only,     // -filepath_only
    timeline,      // the default
};

output_layout choose_layout(const report_options& options);

class report_sink {
public:
    report_sink(const report_context& context, std::ostream& out);

    output_layout layout() const { return layout_; }

    // Runs the per-entry actions, then writes the entry in the chosen layout.
    void write(mft_entry_info& entry);

    // End of the run: a run that reported nothing still leaves the header line of its layout.
    void finish() { writer_->write_header(); }

private:
    output_layout layout_;
    entry_actions actions_;
    std::unique_ptr<layout_writer> writer_;
};

}  // namespace skelvar
