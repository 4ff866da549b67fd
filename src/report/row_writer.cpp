#include "report/row_writer.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <utility>

#include "report/number_text.h"

namespace skelvar {

std::size_t utf8_chars(std::string_view s) {
    std::size_t n = 0;
    for (unsigned char b : s) n += (b & 0xC0) != 0x80;
    return n;
}

namespace {

// Byte length of the first `chars` characters of UTF-8 text.
std::size_t utf8_prefix(std::string_view s, std::size_t chars) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (seen == chars) return i;
            ++seen;
        }
    }
    return s.size();
}

constexpr std::size_t blank_block = 16;  // blanks before a number, filled as one block

constexpr std::size_t date_slot_count = 4096;  // a power of two; eleven years of days

constexpr std::uint64_t low_bits = 0x0101010101010101ull;
constexpr std::uint64_t high_bits = 0x8080808080808080ull;

// True when some byte of `w` equals the byte repeated in `mask`.
inline bool word_has(std::uint64_t w, std::uint64_t mask) {
    std::uint64_t x = w ^ mask;
    return ((x - low_bits) & ~x & high_bits) != 0;
}

// True when some byte of `w` is below 0x20 (a control character).
inline bool word_has_control(std::uint64_t w) { return ((w - low_bits * 0x20) & ~w & high_bits) != 0; }

}  // namespace

row_writer::row_writer(row_format format) : format_(std::move(format)) {
    if (format_.sep_char != 0) {
        const auto ch = static_cast<unsigned char>(format_.sep_char);
        special_[ch] = true;
        sep_mask_ = low_bits * ch;
        // A control character as separator is caught by the control-byte test when escaping.
        scan_sep_ = true;
    }
    if (format_.escape_line_breaks) {
        special_['\r'] = true;
        special_['\n'] = true;
        scan_controls_ = true;
    }
    const char care[4] = {scan_sep_ ? format_.sep_char : '\0', scan_controls_ ? '\r' : '\0',
                          scan_controls_ ? '\n' : '\0', '"'};
    for (std::size_t i = 0; i < care_blocks_.size(); ++i) care_blocks_[i].fill(care[i]);
    line_.reserve(1024);
    date_slots_.resize(date_slot_count);
}

void row_writer::pad_from(std::string& line, std::size_t start, std::size_t chars, const output_column& c) const {
    if (!format_.padding || c.width <= 0) return;
    std::size_t width = static_cast<std::size_t>(c.width);
    if (chars >= width) return;
    std::size_t spare = width - chars;
    if (c.flags & col_centred) {
        line.insert(start, spare / 2, ' ');
        line.append(spare - spare / 2, ' ');
    } else if ((c.flags & col_right) || (c.kind >= kind_u8 && c.kind <= kind_u64)) {
        line.insert(start, spare, ' ');
    } else {
        line.append(spare, ' ');
    }
}

row_writer::number_shape row_writer::shape_of(const output_column& c) const {
    std::uint64_t v = c.number;
    if (c.kind < 8) v &= (std::uint64_t{1} << (8 * c.kind)) - 1;
    const bool hex = format_.hex_numbers && !(c.flags & col_decimal);
    unsigned digits = 0;
    if (hex) {
        digits = c.hex_digits ? c.hex_digits : c.kind == kind_u8 ? 2 : c.kind == kind_u16 ? 4 : 8;
        if (format_.padding && c.width > 2) digits = static_cast<unsigned>(c.width - 2);
    }
    return {v, hex, digits};
}

std::size_t row_writer::put_number(const output_column& c, char* out, std::size_t room) const {
    const auto [v, hex, digits] = shape_of(c);
    if ((c.flags & col_centred) || digits > 16) return 0;
    // Right-aligned: the blanks go first, so the digits' length must be known before they are
    // written (the blanks are filled a fixed block at a time, and digits copied as a whole block).
    char block[number_block];
    std::size_t n = 0;
    unsigned count = 0;
    if (hex) {
        count = std::max(hex_digit_count(v), digits);
        n = 2 + count;
    } else {
        n = static_cast<std::size_t>(std::to_chars(block, block + sizeof block, v).ptr - block);
    }
    const std::size_t blanks =
        format_.padding && c.width > 0 && n < static_cast<std::size_t>(c.width) ? static_cast<std::size_t>(c.width) - n : 0;
    if (std::max<std::size_t>(blanks, blank_block) + number_block > room) return 0;
    if (blanks <= blank_block) std::memset(out, ' ', blank_block);
    else std::memset(out, ' ', blanks);
    char* const at = out + blanks;
    if (hex) {
        at[0] = '0';
        at[1] = 'x';
        put_hex_digits_wide(at + 2, v, count);
    } else {
        std::memcpy(at, block, number_block);
    }
    return blanks + n;
}

void row_writer::append_number(std::string& line, const output_column& c) const {
    char out[number_room];
    if (const std::size_t n = put_number(c, out, sizeof out)) {
        line.append(out, n);
        return;
    }
    const auto [v, hex, digits] = shape_of(c);
    std::size_t start = line.size();
    if (hex) {
        line += "0x";
        append_hex(line, v, digits);
    } else {
        append_dec(line, v);
    }
    pad_from(line, start, line.size() - start, c);
}

bool row_writer::needs_no_care(std::string_view text, bool quotes) const {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    if (n == 0) return true;
#if defined(__SSE2__)
    // Sixteen bytes a step, compared with each byte that needs care (blocks made once). A test
    // that is off compares with NUL instead: a NUL in the text only sends it to the exact check below.
    auto block = [&](std::size_t i) { return _mm_load_si128(reinterpret_cast<const __m128i*>(care_blocks_[i].data())); };
    const __m128i sep = block(0);
    const __m128i cr = block(1);
    const __m128i lf = block(2);
    const __m128i quote = quotes ? block(3) : _mm_setzero_si128();
    auto hits = [&](__m128i v) {
        const __m128i any = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, sep), _mm_cmpeq_epi8(v, cr)),
                                         _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, quote)));
        return _mm_movemask_epi8(any) != 0;
    };
    bool hit = false;
    if (n >= 16) {
        std::size_t i = 0;
        for (; i + 16 <= n && !hit; i += 16) hit = hits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
        // The last block overlaps the one before it.
        if (!hit && i < n) hit = hits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16)));
    } else if (n >= 8) {
        // Two words that overlap, side by side in one block.
        std::uint64_t a, b;
        std::memcpy(&a, p, 8);
        std::memcpy(&b, p + n - 8, 8);
        hit = hits(_mm_set_epi64x(static_cast<long long>(b), static_cast<long long>(a)));
    } else {
        hit = true;  // few bytes: the exact check below is as quick
    }
    if (!hit) return true;
#endif
    for (std::size_t i = 0; i < n; ++i)
        if (special_[p[i]] || (quotes && p[i] == '"')) return false;
    return true;
}

bool row_writer::padded_text_as_is(const output_column& c, std::string_view text, std::size_t& blanks) const {
    // As append_text's first way, with pad_from's blanks after a left-aligned text.
    if ((c.flags & (col_cut | col_quoted | col_centred | col_right)) || c.kind != kind_text) return false;
    if (!needs_no_care(text, format_.quote_cells_with_quotes)) return false;
    blanks = 0;
    if (format_.padding && c.width > 0 && text.size() < static_cast<std::size_t>(c.width))
        blanks = static_cast<std::size_t>(c.width) - utf8_chars(text);
    return true;
}

void row_writer::append_text(std::string& line, const output_column& c) const {
    // Most cells are neither cut nor quoted and hold nothing to escape: they go as they are,
    // padded as below.
    if (!(c.flags & (col_cut | col_quoted)) && needs_no_care(c.text, format_.quote_cells_with_quotes)) {
        const std::size_t start = line.size();
        line.append(c.text);
        if (format_.padding && c.width > 0 && c.text.size() < static_cast<std::size_t>(c.width))
            pad_from(line, start, utf8_chars(c.text), c);
        return;
    }
    std::string_view text = c.text;
    if ((c.flags & col_cut) && c.max_length) text = text.substr(0, utf8_prefix(text, c.max_length));
    bool quote = (c.flags & col_quoted) && !text.starts_with("{\"");
    // Without the quote flag a cell is quoted only when a double quote turns up in it.
    const bool quote_on_sight = !quote && format_.quote_cells_with_quotes;

    std::size_t start = line.size();
    if (quote) line += '"';
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    const std::uint64_t quote_mask = low_bits * '"';
    const bool scan_quotes = quote || quote_on_sight;
    auto is_special = [&](unsigned char ch) { return special_[ch] || (scan_quotes && ch == '"'); };
    // A hit may be a control byte other than CR or LF: the byte loop below passes over it.
    auto word_special = [&](std::uint64_t w) {
        // Bitwise on purpose: the three tests are cheap, a mispredicted branch is not.
        return (static_cast<unsigned>(scan_quotes && word_has(w, quote_mask)) |
                static_cast<unsigned>(scan_sep_ && word_has(w, sep_mask_)) |
                static_cast<unsigned>(scan_controls_ && word_has_control(w))) != 0;
    };
    const bool scan = scan_quotes || scan_sep_ || scan_controls_;
    std::size_t chunk = 0;
    for (std::size_t i = 0; scan; ++i) {
        // Whole words without a special byte go by in one step.
        for (std::uint64_t w; i + 8 <= n; i += 8) {
            std::memcpy(&w, p + i, 8);
            if (word_special(w)) break;
        }
        while (i < n && !is_special(p[i])) ++i;
        if (i >= n) break;
        const unsigned char ch = p[i];
        line.append(text.data() + chunk, i - chunk);
        if (ch == '"' && scan_quotes) {
            if (!quote) {
                line.insert(start, 1, '"');
                quote = true;
            }
            line += "\"\"";
        } else if (ch == static_cast<unsigned char>(format_.sep_char)) {
            line += format_.sub_char;
        } else {
            // Escaped line breaks (only CR or LF reach here).
            const unsigned char next = i + 1 < n ? p[i + 1] : 0;
            if (ch == '\r' && next == '\n') {
                line += "[CRLF]";
                ++i;
            } else if (ch == '\n' && next == '\r') {
                line += "[LFCR]";
                ++i;
            } else {
                line += ch == '\n' ? "[LF]" : "[CR]";
            }
        }
        chunk = i + 1;
    }
    line.append(text.data() + chunk, n - chunk);
    // A quoted cell is padded inside its quotes, so that it still reads as one quoted value.
    const std::size_t quotes = quote ? 2 : 0;
    const std::size_t content = start + quotes / 2;
    // Characters never outnumber bytes: long cells need no count.
    if (format_.padding && c.width > 0 && line.size() - content + quotes < static_cast<std::size_t>(c.width))
        pad_from(line, content, utf8_chars(std::string_view(line).substr(content)) + quotes, c);
    if (quote) line += '"';
}

bool row_writer::load_time(std::uint64_t filetime) {
    if (cache_filled_ && cached_time_ == filetime) return cached_valid_;
    cached_time_ = filetime;
    cache_filled_ = true;
    // Validity goes by whole days, so a day found in the date slots is a valid one.
    cached_valid_ = filetime_in_valid_range(filetime);
    if (!cached_valid_) return false;
    const std::uint64_t day = filetime / ticks_per_day;
    date_slot& slot = date_slots_[day & (date_slot_count - 1)];
    if (slot.day != day) {
        slot.day = day;
        slot.length = put_date_text(filetime, format_.time_format, slot.text.data());
    }
    date_text_ = slot.text.data();
    date_length_ = slot.length;
    time_length_ = put_time_text(filetime, format_.time_format, time_text_.data());
    return true;
}

void row_writer::append_time_cell(std::string& line, const output_column& c) {
    const bool valid = load_time(c.number);
    // An invalid time is one blank when cells are padded, nothing otherwise.
    if (c.kind != kind_date && format_.space_before_time && (valid || format_.padding)) line += ' ';
    std::size_t start = line.size();
    if (!valid) {
        if (format_.padding) line += ' ';
    } else if (c.kind == kind_date) {
        line.append(date_text_, date_length_);
    } else if (c.kind == kind_time) {
        line.append(time_text_.data(), time_length_);
    } else {
        line.append(date_text_, date_length_);
        line += ' ';
        line.append(time_text_.data(), time_length_);
    }
    pad_from(line, start, line.size() - start, c);
}

void row_writer::append_time_cells(std::string& out, const output_row& row, std::size_t first, std::size_t last) {
    if (last > row.columns.size()) last = row.columns.size();
    // Put together in a local block and appended once; a cell that could not fit (a long
    // separator or a wide column) takes the cell-by-cell way.
    constexpr std::size_t block_size = 256;
    constexpr std::size_t most_text = 1 + max_date_text + 1 + max_time_text;
    std::size_t need = 0;
    for (std::size_t i = first; i < last; ++i) {
        const output_column& c = row.columns[i];
        if (c.kind != kind_date && c.kind != kind_time && c.kind != kind_date_time) return append_cells(out, row, first, last);
        need += format_.separator.size() + most_text + static_cast<std::size_t>(c.width > 0 ? c.width : 0);
    }
    if (need > block_size) return append_cells(out, row, first, last);
    char block[block_size + max_time_text];  // room for whole-array copies at the end
    char* p = block;
    for (std::size_t i = first; i < last; ++i) {
        if (i != first)
            for (char ch : format_.separator) *p++ = ch;  // a byte or three: no call into memcpy
        const output_column& c = row.columns[i];
        const bool valid = load_time(c.number);
        if (c.kind != kind_date && format_.space_before_time && (valid || format_.padding)) *p++ = ' ';
        char* const start = p;
        if (!valid) {
            if (format_.padding) *p++ = ' ';
        } else if (c.kind == kind_date) {
            std::memcpy(p, date_text_, max_date_text);
            p += date_length_;
        } else if (c.kind == kind_time) {
            std::memcpy(p, time_text_.data(), max_time_text);
            p += time_length_;
        } else {
            std::memcpy(p, date_text_, max_date_text);
            p += date_length_;
            *p++ = ' ';
            std::memcpy(p, time_text_.data(), max_time_text);
            p += time_length_;
        }
        // As pad_from: the texts are ASCII, so characters are bytes.
        const auto chars = static_cast<std::size_t>(p - start);
        if (format_.padding && c.width > 0 && chars < static_cast<std::size_t>(c.width)) {
            const std::size_t spare = static_cast<std::size_t>(c.width) - chars;
            const bool centred = (c.flags & col_centred) != 0;
            const std::size_t before = centred ? spare / 2 : (c.flags & col_right) ? spare : 0;
            if (before) {
                std::memmove(start + before, start, chars);
                std::memset(start, ' ', before);
            }
            p += before;
            std::memset(p, ' ', spare - before);
            p += spare - before;
        }
    }
    out.append(block, static_cast<std::size_t>(p - block));
}

bool row_writer::writes_as_is(const output_column& c, std::string_view alphabet) const {
    if (c.flags & (col_quoted | col_cut)) return false;
    if (format_.padding && c.width > 0) return false;
    for (char ch : alphabet) {
        if (special_[static_cast<unsigned char>(ch)]) return false;
        if (ch == '"' && format_.quote_cells_with_quotes) return false;
    }
    return true;
}

void row_writer::append_cell(std::string& line, const output_column& c) {
    switch (c.kind) {
        case kind_u8:
        case kind_u16:
        case kind_u32:
        case kind_u64:
            append_number(line, c);
            break;
        case kind_date:
        case kind_date_time:
        case kind_time:
            append_time_cell(line, c);
            break;
        default:
            append_text(line, c);
            break;
    }
}

void row_writer::append_cells(std::string& out, const output_row& row, std::size_t first, std::size_t last) {
    for (std::size_t i = first; i < last && i < row.columns.size(); ++i) {
        if (i != first) out += format_.separator;
        append_cell(out, row.columns[i]);
    }
}

const std::string& row_writer::format_row(const output_row& row) {
    line_.swap(prev_line_);
    line_.clear();
    const std::size_t n = row.columns.size();
    if (placed_row_ != &row || places_.size() != n) {
        places_.assign(n, cell_place{});
        placed_row_ = &row;
    }
    auto unchanged = [&](std::size_t k) { return places_[k].placed && places_[k].stamp == row.columns[k].stamp; };
    const bool one_char_sep = format_.separator.size() == 1;
    const char sep = one_char_sep ? format_.separator[0] : 0;
    for (std::size_t i = 0; i < n;) {
        if (i != 0) {
            if (one_char_sep) line_.push_back(sep);
            else line_ += format_.separator;
        }
        if (unchanged(i)) {
            std::size_t j = i + 1;
            while (j < n && unchanged(j)) ++j;
            const std::size_t from = places_[i].offset;
            const std::size_t to = places_[j - 1].offset + places_[j - 1].length;
            const std::size_t at = line_.size();
            line_.append(prev_line_.data() + from, to - from);
            for (std::size_t k = i; k < j; ++k) places_[k].offset = places_[k].offset - from + at;
            i = j;
            continue;
        }
        const std::size_t start = line_.size();
        append_cell(line_, row.columns[i]);
        places_[i] = {row.columns[i].stamp, start, line_.size() - start, true};
        ++i;
    }
    line_ += '\n';
    return line_;
}

}  // namespace skelvar
