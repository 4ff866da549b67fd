#include "report/row_format.h"

#include "report/report_options.h"

namespace skelvar {

row_format make_row_format(const report_options& params, bool quote_cells_with_quotes) {
    row_format f;
    f.separator = params.separator;
    f.sep_char = params.sep_char;
    f.sub_char = params.sub_char;
    f.padding = !params.no_padding;
    f.space_before_time = params.space_before_time;
    f.hex_numbers = params.hex_numbers;
    f.quote_cells_with_quotes = quote_cells_with_quotes;
    f.time_format = params.time_format;
    return f;
}

}  // namespace skelvar
