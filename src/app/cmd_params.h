// Generic settings of a run (the base of the run context): the results file,
// the output settings every layout reads, progress, diagnostics, instances.
#pragma once

#include <cstdint>
#include <string>

#include "report/report_options.h"

namespace skelvar {

struct cmd_params {
    virtual ~cmd_params() = default;

    report_options output;

    // results file
    std::string out_path;  // as given (host path)
    bool has_out_file = false;
    bool append = false;

    // run
    bool show_progress = true;
    bool profile = false;
    std::string diags_path;
    std::string signal_name;

    // multi-instance (-cpu): stored for the multi-instance mode
    unsigned instances = 1;
    bool separate_files = false;
    std::string tempdir;
    std::int64_t instance_index = -1;  // -cpuinst: this run is instance n of a -cpu run
};

}  // namespace skelvar
