#include "report/macb_text.h"

namespace skelvar {

void append_macb_text(const macb_cell& cell, bool with_fn, bool with_fn83, std::string& out) {
    bool first = true;
    auto part = [&](const char* label, time_source s) {
        if (!first) out += "; ";
        first = false;
        out += label;
        out.append(cell.letters[s].data(), 4);
        out += ']';
    };
    if (cell.any[src_si]) part("si:[", src_si);
    if (with_fn && cell.any[src_fn]) part("fn:[", src_fn);
    if (with_fn83 && cell.any[src_fn83]) part("fn8.3[", src_fn83);
}

}  // namespace skelvar
