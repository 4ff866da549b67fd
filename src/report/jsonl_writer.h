// -jsonl: one JSON object per line for each distinct timestamp and name of an entry (the events
// the default timeline writes as lines), in the shape Timesketch imports as it stands. No header.
#pragma once

#include <memory>
#include <ostream>

#include "report/layout_writer.h"
#include "report/report_context.h"

namespace skelvar {

std::unique_ptr<layout_writer> make_jsonl_writer(const report_context& context, std::ostream& out);

}  // namespace skelvar
