// The column registry shared by the timeline and CSV layouts: one descriptor per
// column, built once per results stream; cell values are replaced for every line.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace skelvar {

// Cell kinds. 1, 2, 4 and 8 are unsigned numbers of that many bytes.
constexpr std::uint16_t kind_u8 = 1;
constexpr std::uint16_t kind_u16 = 2;
constexpr std::uint16_t kind_u32 = 4;
constexpr std::uint16_t kind_u64 = 8;
constexpr std::uint16_t kind_text = 11;
constexpr std::uint16_t kind_date = 12;       // date here, time in the following column
constexpr std::uint16_t kind_date_time = 13;  // date and time in one cell
constexpr std::uint16_t kind_time = 24;

// Column flags.
constexpr std::uint32_t col_decimal = 0x01;  // numbers in decimal whatever the number base
constexpr std::uint32_t col_quoted = 0x02;   // text wrapped in double quotes
constexpr std::uint32_t col_right = 0x04;    // text right-aligned
constexpr std::uint32_t col_cut = 0x08;      // text cut to max_length characters
constexpr std::uint32_t col_centred = 0x10;  // text centred in its width

struct output_column {
    std::uint16_t kind = kind_text;
    std::uint32_t flags = 0;
    int width = 0;  // 0 = no padding
    std::string name;
    // Current value. Text is not owned: it must stay valid until the row is written.
    std::string_view text;
    std::uint64_t number = 0;  // number, or FILETIME for the time kinds
    std::uint32_t max_length = 0;
    // Hexadecimal numbers: at least this many digits instead of the kind's 2, 4 or 8 (0 = the kind's).
    std::uint8_t hex_digits = 0;
    // Bumped by every set_* call: a row writer formats a cell again only when it changed, so
    // the cells an entry shares across its lines are formatted once. A text cell's bytes must
    // therefore not change behind its back: set it again after changing them.
    std::uint32_t stamp = 0;
};

struct output_row {
    std::vector<output_column> columns;

    // Appends a column and returns its index.
    int add(std::uint16_t kind, std::uint32_t flags, int width, std::string name);
    void clear_widths();
};

constexpr std::uint32_t keep_flags = 0xFFFFFFFFu;

// Cell setters; an index of -1 or beyond the registry, or a bad kind, leaves the cell unchanged.
// Inline: the layouts set a dozen cells per entry.
inline void set_text(output_row& row, int column, std::string_view text, std::uint32_t flags = keep_flags) {
    if (column < 0 || static_cast<std::size_t>(column) >= row.columns.size()) return;
    output_column& c = row.columns[static_cast<std::size_t>(column)];
    c.kind = kind_text;
    c.text = text;
    if (flags != keep_flags) c.flags = flags;
    ++c.stamp;
}
inline void set_number(output_row& row, int column, std::uint64_t value, unsigned byte_width,
                       std::uint32_t flags = keep_flags) {
    if (column < 0 || static_cast<std::size_t>(column) >= row.columns.size()) return;
    if (byte_width != 1 && byte_width != 2 && byte_width != 4 && byte_width != 8) return;
    output_column& c = row.columns[static_cast<std::size_t>(column)];
    c.kind = static_cast<std::uint16_t>(byte_width);
    c.number = value;
    if (flags != keep_flags) c.flags = flags;
    ++c.stamp;
}
// kind_date also stores the value in the following column, which then shows the time.
inline void set_time(output_row& row, int column, std::uint64_t filetime, std::uint16_t kind) {
    if (column < 0 || static_cast<std::size_t>(column) >= row.columns.size()) return;
    if (kind != kind_date && kind != kind_date_time && kind != kind_time) return;
    output_column& c = row.columns[static_cast<std::size_t>(column)];
    c.kind = kind;
    c.number = filetime;
    ++c.stamp;
    if (kind == kind_date && static_cast<std::size_t>(column) + 1 < row.columns.size()) {
        output_column& t = row.columns[static_cast<std::size_t>(column) + 1];
        t.kind = kind_time;
        t.number = filetime;
        ++t.stamp;
    }
}

// The four columns of one set of times (modified, accessed, changed, created or MFT changed), as a layout
// registered them; each is a date+time column or a date column followed by its time column.
using time_group = std::array<int, 4>;
void set_time_group(output_row& row, const time_group& g, const std::array<std::uint64_t, 4>& times, bool paired);

}  // namespace skelvar
