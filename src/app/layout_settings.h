// Separator rules shared by every option that picks a layout.
#pragma once

#include <string_view>

#include "report/report_options.h"

namespace skelvar {

// Sets the field separator text and derives the separator/substitute pair:
// a '|' in the text gives '|' and ';', else a ',' gives ',' and ' ', else the
// text "tab" or "\t" (any case) becomes one tab; otherwise no substitution.
// With quoted text cells there is never a substitution.
void set_field_separator(report_options& p, std::string_view text);

// -no_whitespace: every space leaves the separator; no padding, no space before times.
void remove_separator_whitespace(report_options& p);

// Switches the CSV, log2timeline and body-file layouts off.
void clear_csv_layouts(report_options& p);

}  // namespace skelvar
