// The default timeline layout and -csv: one line per distinct timestamp and name.
#pragma once

#include <memory>
#include <ostream>

#include "report/layout_writer.h"
#include "report/report_context.h"

namespace skelvar {

std::unique_ptr<layout_writer> make_timeline_writer(const report_context& context, std::ostream& out);

}  // namespace skelvar
