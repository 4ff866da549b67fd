// The MACB cell of one line: which times of which sources carry the line's timestamp.
#pragma once

#include <string>

#include "report/timestamp_map.h"

namespace skelvar {

// Appends "si:[....]" when an SI letter is set, then the name's own letters as "fn:[....]"
// (a long name) or "fn8.3[....]" (a DOS name) when one is set, joined by "; ".
void append_macb_text(const macb_cell& cell, const cell_name& name, bool dos, std::string& out);

}  // namespace skelvar
