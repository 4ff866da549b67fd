#include "report/time_cells.h"

#include <string>

namespace skelvar {

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
    in_place_ = date_at_ == block || date_at_ + date_length_ + slack <= block;
    days_.resize(day_slots);
    const filetime_range valid = valid_filetime_range();
    valid_from_ = valid.first;
    valid_span_ = valid.end - valid.first;
}

void time_cells::fill(date_slot& slot, std::uint64_t day, std::uint64_t filetime) const {
    slot.day = day;
    slot.length = put_date_text(filetime, format_, slot.text.data());
}

}  // namespace skelvar
