// The MACB cell of one line: which times of which sources carry the line's timestamp.
#pragma once

#include <string>

#include "report/timestamp_map.h"

namespace skelvar {

// Appends "si:[....]", "fn:[....]" (when `with_fn`) and "fn8.3[....]" (when `with_fn83`)
// for the sources that have a letter set, joined by "; ".
void append_macb_text(const macb_cell& cell, bool with_fn, bool with_fn83, std::string& out);

}  // namespace skelvar
