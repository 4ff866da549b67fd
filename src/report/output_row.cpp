#include "report/output_row.h"

#include <utility>

namespace skelvar {

int output_row::add(std::uint16_t kind, std::uint32_t flags, int width, std::string name) {
    output_column c;
    c.kind = kind;
    c.flags = flags;
    c.width = width < 0 ? 0 : width;
    c.name = std::move(name);
    columns.push_back(std::move(c));
    return static_cast<int>(columns.size()) - 1;
}

void output_row::clear_widths() {
    for (auto& c : columns) {
        c.width = 0;
        ++c.stamp;
    }
}

void set_time_group(output_row& row, const time_group& g, const std::array<std::uint64_t, 4>& times, bool paired) {
    const std::uint16_t kind = paired ? kind_date_time : kind_date;
    for (std::size_t i = 0; i < g.size(); ++i) set_time(row, g[i], times[i], kind);
}

}  // namespace skelvar
