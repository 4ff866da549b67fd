// Writes one line from the current column values (and the header line from the
// names), reusing one line buffer; each line goes out with a single write.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <string>

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

private:
    void append_number(const output_column& c);
    void append_text(const output_column& c);
    void append_time_cell(const output_column& c);
    void pad_from(std::size_t start, std::size_t chars, const output_column& c);
    bool load_time(std::uint64_t filetime);

    row_format format_;
    // Bytes that a text cell cannot carry as they are: the separator character and,
    // when escaping, CR and LF; a quoted cell adds the quote mark. Scanned a word at a time.
    std::array<bool, 256> special_{};
    std::array<std::uint64_t, 4> word_masks_{};
    unsigned mask_count_ = 0;
    std::string line_;
    // Lines of one timestamp share their date and time texts.
    std::uint64_t cached_time_ = 0;
    bool cache_filled_ = false;
    bool cached_valid_ = false;
    std::string date_, time_;
};

// Character count of UTF-8 text (continuation bytes not counted): cells are padded by characters.
std::size_t utf8_chars(std::string_view s);

}  // namespace skelvar
