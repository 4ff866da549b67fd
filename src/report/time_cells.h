// The time cells of a timeline or CSV line (a date cell and a time cell, or one cell with
// both) with the separator after them, written for a FILETIME from a pattern made once:
// for a valid time only the date (kept per day) and the clock digits change, and their
// places in the cells are fixed by the format.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "report/line_buffer.h"
#include "report/output_row.h"
#include "report/row_format.h"

namespace skelvar {

// A kept text whose short copy may be written in place without its long text:
// its size then goes by the copy.
struct when_text : kept_text {
    std::size_t size() const { return is_short ? fixed.length : text.size(); }
};

class time_cells {
public:
    // Cells [first, last) of `row`, as a row writer with `format` writes them, and a separator.
    time_cells(const row_format& format, const output_row& row, std::size_t first, std::size_t last);

    // Puts the cells of `filetime` in the short copy of `out`; false when they take the
    // general way instead (an invalid time, or cells that do not fit a short copy).
    bool put(std::uint64_t filetime, when_text& out);

private:
    static constexpr std::size_t block = short_text::capacity;
    static constexpr std::size_t slack = 16;  // a date's whole-block copy may reach past the pattern's end

    date_time_format format_;
    bool usable_ = false;
    std::size_t length_ = 0;                    // of the cells with the separator
    std::size_t date_at_ = block, time_at_ = block;  // where the texts go (block = none)
    std::size_t date_length_ = 0, time_length_ = 0;
    unsigned digits_ = 0;                       // of the fraction
    alignas(16) std::array<char, block + slack> pattern_{};
    // Date texts by day: the times of a volume crowd into few days.
    struct date_slot {
        std::uint64_t day = ~std::uint64_t{0};
        std::size_t length = 0;
        std::array<char, max_date_text> text{};
    };
    std::vector<date_slot> days_;
};

}  // namespace skelvar
