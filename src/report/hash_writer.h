// The hash report (-hashfile): one line per unnamed data stream with its
// digests, sizes, times, name and path, state and the filter that chose it.
#pragma once

#include <memory>
#include <ostream>

#include "report/layout_writer.h"
#include "report/report_context.h"

namespace skelvar {

std::unique_ptr<layout_writer> make_hash_writer(const report_context& context, std::ostream& out);

}  // namespace skelvar
