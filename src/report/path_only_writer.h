// -filepath_only: the full path of every name of the files in use, one per line.
// Directories, deleted records and entries without names write nothing; there is no header.
#pragma once

#include <memory>
#include <ostream>

#include "report/layout_writer.h"
#include "report/report_context.h"

namespace skelvar {

std::unique_ptr<layout_writer> make_path_only_writer(const report_context& context, std::ostream& out);

}  // namespace skelvar
