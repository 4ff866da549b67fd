#include "report/header_bytes.h"

#include <algorithm>

#include "ntfs/mft_entry_info.h"
#include "ntfs/stream_head.h"

namespace skelvar {

namespace {

constexpr std::size_t min_string = 5;

bool printable(unsigned c) { return c >= 0x20 && c <= 0x7E; }

// Runs of characters of `width` bytes starting at `first`, `first` + width, ...
void scan_runs(std::span<const std::uint8_t> bytes, std::size_t first, std::size_t width,
               std::vector<header_string>& out) {
    header_string run;
    bool in_run = false;
    auto close = [&] {
        if (in_run && run.text.size() >= min_string) out.push_back(std::move(run));
        run = header_string{};
        in_run = false;
    };
    for (std::size_t i = first; i + width <= bytes.size(); i += width) {
        const unsigned c = width == 1 ? bytes[i] : static_cast<unsigned>(bytes[i] | (bytes[i + 1] << 8));
        if (!printable(c)) {
            close();
            continue;
        }
        if (!in_run) {
            if (c == ' ') continue;  // leading blanks are not part of a string
            in_run = true;
            run.offset = i;
        }
        run.text += static_cast<char>(c);
    }
    close();
}

}  // namespace

void sample_stream_header(catalogue_row& row, ntfs_volume* volume, std::uint64_t offset, std::uint32_t size) {
    if (row.header_sampled) {
        const std::uint64_t have = row.header_sample.size();
        const std::uint64_t left = row.stream_size() > offset ? row.stream_size() - offset : 0;
        if (have >= size || have >= left) return;
    }
    row.header_sampled = true;
    read_stream_head(row, volume, offset, size, row.header_sample);
}

std::vector<header_string> find_header_strings(std::span<const std::uint8_t> bytes) {
    std::vector<header_string> found;
    if (bytes.size() < min_string) return found;
    scan_runs(bytes, 0, 1, found);
    // UTF-16 text may start at an odd offset too; the other alignment of genuine
    // UTF-16 or ASCII text never reads as printable characters, so both are searched.
    std::vector<header_string> wide;
    scan_runs(bytes, 0, 2, wide);
    scan_runs(bytes, 1, 2, wide);
    if (!wide.empty()) {
        found.insert(found.end(), std::make_move_iterator(wide.begin()), std::make_move_iterator(wide.end()));
        std::stable_sort(found.begin(), found.end(),
                         [](const header_string& a, const header_string& b) { return a.offset < b.offset; });
    }
    return found;
}

void append_header_text(std::span<const std::uint8_t> bytes, bool strings, std::string_view separator,
                        std::string& out) {
    if (strings) {
        bool first = true;
        for (const header_string& s : find_header_strings(bytes)) {
            if (!first) out += separator;
            first = false;
            out += s.text;
        }
        return;
    }
    static constexpr char digits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += ' ';
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0xF];
    }
}

std::string header_text(std::span<const std::uint8_t> bytes, bool strings, std::string_view separator) {
    std::string out;
    append_header_text(bytes, strings, separator, out);
    return out;
}

}  // namespace skelvar
