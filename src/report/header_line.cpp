// The header line: column names in the cell layout of the rows below them.
#include "report/row_writer.h"

namespace skelvar {

const std::string& row_writer::format_header(const output_row& row) {
    line_.clear();
    bool first = true;
    for (const output_column& c : row.columns) {
        if (!first) line_ += format_.separator;
        first = false;
        if (format_.space_before_time && (c.kind == kind_date_time || c.kind == kind_time)) line_ += ' ';
        std::size_t start = line_.size();
        line_ += c.name;
        if (!format_.padding || c.width <= 0) continue;
        std::size_t chars = utf8_chars(c.name);
        std::size_t width = static_cast<std::size_t>(c.width);
        if (chars >= width) continue;
        std::size_t spare = width - chars;
        if (c.flags & col_centred) {
            line_.insert(start, spare / 2, ' ');
            spare -= spare / 2;
        }
        line_.append(spare, ' ');
    }
    line_ += '\n';
    return line_;
}

}  // namespace skelvar
