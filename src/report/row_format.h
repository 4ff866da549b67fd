// Settings that decide how cells are written, taken from the option object once.
#pragma once

#include <string>

#include "report/date_time.h"

namespace skelvar {

struct report_options;

struct row_format {
    std::string separator = " | ";
    char sep_char = '|';  // 0 = no substitution
    char sub_char = ';';
    bool padding = true;
    bool space_before_time = true;
    bool hex_numbers = true;
    bool escape_line_breaks = true;  // CR/LF inside text become [CRLF], [LF], ...
    // Comma layouts: a cell holding a double quote is quoted (RFC 4180) even when quoting is off.
    bool quote_cells_with_quotes = false;
    date_time_format time_format{};
};

row_format make_row_format(const report_options& options, bool quote_cells_with_quotes);

}  // namespace skelvar
