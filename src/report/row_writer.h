// Writes one line from the current column values (and the header line from the
// names), reusing one line buffer; each line goes out with a single write.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "report/output_row.h"
#include "report/row_format.h"

namespace skelvar {

class row_writer {
public:
    explicit row_writer(row_format format);

    const row_format& format() const { return format_; }

    // The finished line, line feed included; valid until the next call.
    const std::string& format_row(const output_row& row);
    const std::string& format_header(const output_row& row);

    void write_row(std::ostream& out, const output_row& row) {
        const std::string& l = format_row(row);
        out.write(l.data(), static_cast<std::streamsize>(l.size()));
    }
    void write_header(std::ostream& out, const output_row& row) {
        const std::string& l = format_header(row);
        out.write(l.data(), static_cast<std::streamsize>(l.size()));
    }
    // True when text cell `c` showing `text` is written as that text exactly (no quotes, cut,
    // padding or substitution): the caller may then copy the text itself.
    bool cell_text_as_is(const output_column& c, std::string_view text) const {
        return !(c.flags & (col_quoted | col_cut)) && !(format_.padding && c.width > 0) && text_as_is(text);
    }
    // The same with padding: true when the cell is `text` followed by `blanks` spaces.
    bool padded_text_as_is(const output_column& c, std::string_view text, std::size_t& blanks) const;
    // Number cell `c` formatted at `out`: its length, or 0 when it needs the general way
    // (centred, long digit runs) or more room. Bytes of out[0, room) past the cell may be
    // overwritten: the digits and blanks go in as fixed-size blocks.
    static constexpr std::size_t number_block = 24;
    static constexpr std::size_t number_room = 64;
    std::size_t put_number(const output_column& c, char* out, std::size_t room) const;
    // Appends cells [first, last) to `out`, joined by the separator, without a line feed: the
    // parts a layout shares between lines are formatted once and put together by the layout.
    void append_cells(std::string& out, const output_row& row, std::size_t first, std::size_t last);
    // The same for time cells (date, time or both) without a call per cell.
    void append_time_cells(std::string& out, const output_row& row, std::size_t first, std::size_t last);
    // One cell at the end of `out`.
    void append_cell(std::string& out, const output_column& c);
    // True when a text cell of `c` made only of `alphabet`'s characters is written as it is
    // (no quotes, cut, padding or substitution): the caller may then append the text itself.
    bool writes_as_is(const output_column& c, std::string_view alphabet) const;
    // True when `text` in a cell that writes as is (see above, any alphabet) goes as it is.
    bool text_as_is(std::string_view text) const { return needs_no_care(text, format_.quote_cells_with_quotes); }

private:
    // A number cell's value as shown (cut to its width in bytes), and its hexadecimal digits:
    // 0 when it is shown in decimal.
    struct number_shape {
        std::uint64_t value;
        bool hex;
        unsigned digits;
    };
    number_shape shape_of(const output_column& c) const;
    void append_number(std::string& line, const output_column& c) const;
    void append_text(std::string& line, const output_column& c) const;
    // True when `text` holds no byte a text cell must change or quote (a double quote counts with `quotes`).
    bool needs_no_care(std::string_view text, bool quotes) const;
    void append_time_cell(std::string& line, const output_column& c);
    void pad_from(std::string& line, std::size_t start, std::size_t chars, const output_column& c) const;
    bool load_time(std::uint64_t filetime);

    row_format format_;
    // Bytes that a text cell cannot carry as they are: the separator character and,
    // when escaping, CR and LF; a quoted cell adds the quote mark. Scanned a word at a time.
    std::array<bool, 256> special_{};
    std::uint64_t sep_mask_ = 0;  // the separator character in every byte
    bool scan_sep_ = false;
    bool scan_controls_ = false;  // CR and LF: words are tested for any control byte
    // needs_no_care's bytes, each repeated over a 16-byte block (NUL for a test that is off):
    // separator, CR, LF, and the quote mark.
    alignas(16) std::array<std::array<char, 16>, 4> care_blocks_{};
    std::string line_;
    // Cells whose stamp did not change since the previous line are copied from that line,
    // a run of neighbours (with their separators) in one piece.
    struct cell_place {
        std::uint32_t stamp = 0;
        std::size_t offset = 0, length = 0;  // in prev_line_
        bool placed = false;
    };
    std::string prev_line_;
    std::vector<cell_place> places_;
    const output_row* placed_row_ = nullptr;
    // The texts of the last time written: a date cell and its time cell format it once.
    std::uint64_t cached_time_ = 0;
    bool cache_filled_ = false;
    bool cached_valid_ = false;
    std::size_t date_length_ = 0, time_length_ = 0;
    const char* date_text_ = nullptr;  // in date_slots_
    std::array<char, max_time_text> time_text_{};
    // Date texts by day: the times of a volume crowd into few days, and a date costs more than a time.
    struct date_slot {
        std::uint64_t day = ~std::uint64_t{0};
        std::size_t length = 0;
        std::array<char, max_date_text> text{};
    };
    std::vector<date_slot> date_slots_;
};

// A number cell's formatted text, made again only when the number changes: neighbouring
// lines and entries mostly repeat a parent or a size. Kept in a fixed block, for a layout
// that copies its cells itself.
class kept_number_text {
public:
    std::string_view text(row_writer& writer, const output_column& c) {
        if (!filled_ || number_ != c.number) {
            length_ = writer.put_number(c, block_.data(), block_.size());
            if (length_ == 0) {
                long_.clear();
                writer.append_cell(long_, c);
            }
            number_ = c.number;
            filled_ = true;
        }
        return view();
    }
    // True when text() would show `number` without formatting it again; view() then gives it.
    bool holds(std::uint64_t number) const { return filled_ && number_ == number; }
    std::string_view view() const {
        return length_ ? std::string_view(block_.data(), length_) : std::string_view(long_);
    }
    // True when text() lies in the fixed block (a block copy may read past its end).
    bool in_block() const { return length_ != 0; }

private:
    std::uint64_t number_ = 0;
    std::array<char, row_writer::number_room> block_{};
    std::size_t length_ = 0;
    std::string long_;  // a number put_number leaves to the general way
    bool filled_ = false;
};

// Character count of UTF-8 text (continuation bytes not counted): cells are padded by characters.
std::size_t utf8_chars(std::string_view s);

}  // namespace skelvar
