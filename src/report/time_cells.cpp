#include "report/time_cells.h"

#include <cstring>
#include <string>

namespace skelvar {

namespace {

constexpr std::size_t day_slots = 4096;  // a power of two; eleven years of days

inline char* put2(char* p, std::uint32_t v) {
    std::memcpy(p, &two_digit_table[2 * v], 2);
    return p + 2;
}

}  // namespace

time_cells::time_cells(const row_format& format, const output_row& row, std::size_t first, std::size_t last)
    : format_(format.time_format) {
    // The texts of every valid time have the same lengths (four-digit years): one shows them.
    const std::uint64_t sample = filetime_from_fields(2000, 1, 1, 0, 0, 0);
    char text[max_date_text + max_time_text];
    date_length_ = put_date_text(sample, format_, text);
    time_length_ = put_time_text(sample, format_, text);
    digits_ = format_.fraction_digits > 9 ? 9 : format_.fraction_digits;
    if (last > row.columns.size() || first >= last) return;

    // The cells as row_writer::append_time_cells lays them out, with blanks where the texts go.
    std::string cells;
    std::size_t dates = 0, times = 0;
    for (std::size_t i = first; i < last; ++i) {
        const output_column& c = row.columns[i];
        if (c.kind != kind_date && c.kind != kind_time && c.kind != kind_date_time) return;
        if (i != first) cells += format.separator;
        if (c.kind != kind_date && format.space_before_time) cells += ' ';
        const std::size_t chars = c.kind == kind_date   ? date_length_
                                  : c.kind == kind_time ? time_length_
                                                        : date_length_ + 1 + time_length_;
        std::size_t before = 0, after = 0;
        if (format.padding && c.width > 0 && chars < static_cast<std::size_t>(c.width)) {
            const std::size_t spare = static_cast<std::size_t>(c.width) - chars;
            before = (c.flags & col_centred) ? spare / 2 : (c.flags & col_right) ? spare : 0;
            after = spare - before;
        }
        cells.append(before, ' ');
        if (c.kind != kind_time) {
            date_at_ = cells.size();
            ++dates;
            cells.append(date_length_, ' ');
        }
        if (c.kind == kind_date_time) cells += ' ';
        if (c.kind != kind_date) {
            time_at_ = cells.size();
            ++times;
            cells.append("00:00:00");
            if (digits_) cells += '.';
            cells.append(digits_, '0');
        }
        cells.append(after, ' ');
    }
    cells += format.separator;
    if (cells.size() > block || dates > 1 || times > 1 || date_length_ > max_date_text) return;
    std::memcpy(pattern_.data(), cells.data(), cells.size());
    length_ = cells.size();
    days_.resize(day_slots);
    usable_ = true;
}

bool time_cells::put(std::uint64_t filetime, when_text& out) {
    if (!usable_ || !filetime_in_valid_range(filetime)) return false;
    const std::uint64_t day = filetime / ticks_per_day;
    date_slot& slot = days_[day & (day_slots - 1)];
    if (slot.day != day) {
        slot.day = day;
        slot.length = put_date_text(filetime, format_, slot.text.data());
    }
    if (slot.length != date_length_) return false;
    alignas(16) char cells[block + slack];
    std::memcpy(cells, pattern_.data(), sizeof cells);
    if (date_at_ != block) {
        // The date's whole block, then the pattern's bytes it covered past the date.
        std::memcpy(cells + date_at_, slot.text.data(), max_date_text);
        std::memcpy(cells + date_at_ + date_length_, pattern_.data() + date_at_ + date_length_, slack);
    }
    if (time_at_ != block) {
        char* p = cells + time_at_;
        if (digits_ == 3) {
            // The default: separators from the pattern, digits by constant divisors only.
            const auto second = static_cast<std::uint32_t>((filetime - day * ticks_per_day) / ticks_per_second);
            const auto ms = static_cast<std::uint32_t>(filetime % ticks_per_second / 10'000);
            put2(p, second / 3600);
            put2(p + 3, second / 60 % 60);
            put2(p + 6, second % 60);
            p[9] = static_cast<char>('0' + ms / 100);
            put2(p + 10, ms % 100);
        } else if (put_time_text(filetime, format_, p) != time_length_) {
            return false;
        }
    }
    std::memcpy(out.fixed.bytes.data(), cells, block);
    out.fixed.length = length_;
    out.is_short = true;
    return true;
}

}  // namespace skelvar
