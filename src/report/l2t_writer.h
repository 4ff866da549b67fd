// The log2timeline CSV layout: one line per event, an event being the times of one
// source ($STANDARD_INFORMATION, or one $FILE_NAME) that share a value.
#pragma once

#include <memory>
#include <ostream>

#include "report/layout_writer.h"
#include "report/report_context.h"

namespace skelvar {

std::unique_ptr<layout_writer> make_l2t_writer(const report_context& context, std::ostream& out);

}  // namespace skelvar
