#include "report/macb_text.h"

namespace skelvar {

void append_macb_text(const macb_cell& cell, const cell_name& name, bool dos, std::string& out) {
    if (cell.any_si) {
        out += "si:[";
        out.append(cell.si().data(), 4);
        out += ']';
    }
    if (!name.any) return;
    if (cell.any_si) out += "; ";
    out += dos ? "fn8.3[" : "fn:[";
    out.append(name.letters().data(), 4);
    out += ']';
}

}  // namespace skelvar
