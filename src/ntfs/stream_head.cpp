#include "ntfs/stream_head.h"

#include <algorithm>

#include "ntfs/stream_reader.h"
#include "support/binary_data.h"

namespace skelvar {

bool read_stream_head(const catalogue_row& row, ntfs_volume* volume, std::uint64_t offset, std::uint64_t length,
                      std::vector<std::uint8_t>& out) {
    out.clear();
    if (!row.non_resident) {
        kavo::binary_data value = !row.value.empty()
                                      ? kavo::binary_data(row.value)
                                      : kavo::binary_data(row.record_copy).sub(row.value_offset, row.value_length);
        if (offset >= value.size()) return false;
        const auto bytes = value.sub(static_cast<std::size_t>(offset),
                                     static_cast<std::size_t>(std::min<std::uint64_t>(length, value.size() - offset)));
        out.assign(bytes.span().begin(), bytes.span().end());
        return !out.empty();
    }
    if (!volume || offset >= row.data_size || length == 0) return false;
    std::uint64_t n = std::min(length, row.data_size - offset);
    out.resize(static_cast<std::size_t>(n));
    if (!read_first_bytes(*volume, row.runs, offset, out.data(), n, true)) n = 0;
    out.resize(static_cast<std::size_t>(n));
    if (row.initialized_size < offset + n) {
        const std::uint64_t from = row.initialized_size > offset ? row.initialized_size - offset : 0;
        std::fill(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(), 0);
    }
    return !out.empty();
}

}  // namespace skelvar
