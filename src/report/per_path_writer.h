// The per-path layout (-csvperpath, and the report of -action_copy_files): one row per
// path name with all its $STANDARD_INFORMATION, $FILE_NAME and DOS-name times in columns.
#pragma once

#include <memory>
#include <ostream>

#include "report/layout_writer.h"
#include "report/report_context.h"

namespace skelvar {

// Without -action_include_clusterinfo the "ADS metadata" cell lists the named
// streams and their sizes; with it every stream's description with its cluster runs.
std::unique_ptr<layout_writer> make_per_path_writer(const report_context& context, std::ostream& out);

}  // namespace skelvar
