// The time cells of a timeline or CSV line (a date cell and a time cell, or one cell with
// both) with the separator after them, written for a FILETIME from a pattern made once:
// for a valid time only the date (kept per day) and the clock digits change, and their
// places in the cells are fixed by the format.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
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
    // general way instead (an invalid time, or cells that do not fit a short copy). Inline:
    // a line's cells are written a few times per entry.
    bool put(std::uint64_t filetime, when_text& out) {
        // Below the valid range the difference wraps around to a large number.
        if (filetime - valid_from_ >= valid_span_) return false;
        const std::uint64_t day = filetime / ticks_per_day;
        date_slot& slot = days_[day & (day_slots - 1)];
        if (slot.day != day) fill(slot, day, filetime);
        if (slot.length != date_length_) return false;
        // Written in place when the date's whole-block copies stay inside the short copy, else
        // through a buffer with their room. (False leaves `out` to the general way, which
        // rewrites it.)
        alignas(16) char spare[block + slack];
        char* const cells = in_place_ ? out.fixed.bytes.data() : spare;
        std::memcpy(cells, pattern_.data(), block);
        if (date_at_ != block) {
            // The date's whole block, then the pattern's bytes it covered past the date.
            std::memcpy(cells + date_at_, slot.text.data(), max_date_text);
            std::memcpy(cells + date_at_ + date_length_, pattern_.data() + date_at_ + date_length_, slack);
        }
        if (time_at_ != block && !put_clock(cells + time_at_, filetime, filetime - day * ticks_per_day)) return false;
        if (!in_place_) std::memcpy(out.fixed.bytes.data(), spare, block);
        out.fixed.length = length_;
        out.is_short = true;
        return true;
    }

private:
    static constexpr std::size_t block = short_text::capacity;
    static constexpr std::size_t slack = 16;  // a date's whole-block copy may reach past the pattern's end
    static constexpr std::size_t day_slots = 4096;  // a power of two; eleven years of days

    // Aligned to its size: a slot lies in one cache line.
    struct alignas(32) date_slot {
        std::uint64_t day = ~std::uint64_t{0};
        std::size_t length = 0;
        std::array<char, max_date_text> text{};
    };
    void fill(date_slot& slot, std::uint64_t day, std::uint64_t filetime) const;
    // The clock text at `p` (its separators are in the pattern); false when it came out longer.
    bool put_clock(char* p, std::uint64_t filetime, std::uint64_t ticks_of_day) const {
        if (digits_ != 3) return put_time_text(filetime, format_, p) == time_length_;
        // The default: digits by constant divisors only.
        const auto second = static_cast<std::uint32_t>(ticks_of_day / ticks_per_second);
        const auto ms = static_cast<std::uint32_t>((ticks_of_day - second * ticks_per_second) / 10'000);
        std::memcpy(p, &two_digit_table[2 * (second / 3600)], 2);
        std::memcpy(p + 3, &two_digit_table[2 * (second / 60 % 60)], 2);
        std::memcpy(p + 6, &two_digit_table[2 * (second % 60)], 2);
        p[9] = static_cast<char>('0' + ms / 100);
        std::memcpy(p + 10, &two_digit_table[2 * (ms % 100)], 2);
        return true;
    }

    date_time_format format_;
    // Valid times: from valid_from_ for valid_span_ ticks (none when the cells are not usable).
    std::uint64_t valid_from_ = 0, valid_span_ = 0;
    std::size_t length_ = 0;                    // of the cells with the separator
    std::size_t date_at_ = block, time_at_ = block;  // where the texts go (block = none)
    std::size_t date_length_ = 0, time_length_ = 0;
    unsigned digits_ = 0;                       // of the fraction
    bool in_place_ = false;  // put() writes straight into the short copy
    alignas(16) std::array<char, block + slack> pattern_{};
    // Date texts by day: the times of a volume crowd into few days.
    std::vector<date_slot> days_;
};

}  // namespace skelvar
