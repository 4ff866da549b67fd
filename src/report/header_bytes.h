// The header action: leading bytes of a data stream, shown as hexadecimal or
// as the ASCII and UTF-16LE strings found in them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace skelvar {

struct catalogue_row;
class ntfs_volume;

// Fills the row's sample with at most `size` bytes of its stream from `offset`;
// a row already sampled with enough bytes is left alone. Non-resident streams
// need a volume: with an extracted $MFT file their sample stays empty.
void sample_stream_header(catalogue_row& row, ntfs_volume* volume, std::uint64_t offset, std::uint32_t size);

struct header_string {
    std::size_t offset = 0;
    std::string text;
};

// Runs of at least 5 printable characters (0x20-0x7e, not starting with a
// blank), one byte or UTF-16LE each, in the order of their offsets.
std::vector<header_string> find_header_strings(std::span<const std::uint8_t> bytes);

// "4d 5a 90 00", or (strings mode) the strings joined by `separator`.
void append_header_text(std::span<const std::uint8_t> bytes, bool strings, std::string_view separator,
                        std::string& out);
std::string header_text(std::span<const std::uint8_t> bytes, bool strings, std::string_view separator);

}  // namespace skelvar
