// Options of the CSV-like layouts as their command-line switches set them, and a runner
// that writes crafted entries through one writer.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "report_fixtures.h"

namespace layout_fixtures {

using namespace report_fixtures;

inline void body_options(layout_ctx& ctx) {
    ctx.bodyfile = true;
    ctx.separator = "|";
    ctx.sep_char = '|';
    ctx.sub_char = ';';
    ctx.no_padding = true;
    ctx.space_before_time = false;
}

inline void l2t_options(layout_ctx& ctx) {
    ctx.csvl2t = true;
    ctx.l2t_extended = true;
    ctx.separator = ",";
    ctx.sep_char = ',';
    ctx.sub_char = ' ';
    ctx.no_padding = true;
    ctx.space_before_time = false;
}

inline void per_path_options(layout_ctx& ctx) {
    ctx.csvperpath = true;
    ctx.separator = "|";
    ctx.sep_char = '|';
    ctx.sub_char = ';';
}

// The cells of a CSV line: a quoted cell may hold the separator; "" inside it is one quote.
inline std::vector<std::string> csv_cells(const std::string& line, char sep = ',') {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cells.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cells.back() += c;
            }
        } else if (c == '"' && cells.back().empty()) {
            quoted = true;
        } else if (c == sep) {
            cells.emplace_back();
        } else {
            cells.back() += c;
        }
    }
    return cells;
}

}  // namespace layout_fixtures
