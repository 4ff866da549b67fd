#include "ntfs/cluster_bitmap.h"

#include <algorithm>
#include <cstring>

#include "ntfs/entry_reader.h"
#include "ntfs/ntfs_volume.h"
#include "ntfs/stream_reader.h"
#include "support/diag_log.h"

namespace skelvar {

namespace {

using ull = unsigned long long;

constexpr std::uint64_t bitmap_entry = 6;
// A bitmap this large describes 4 Gi clusters; larger claims are not believed.
constexpr std::uint64_t max_bitmap_bytes = 0x1FFFFFFF;

std::uint64_t word_at(const std::vector<std::uint8_t>& bytes, std::uint64_t byte) {
    std::uint64_t w = 0;
    std::memcpy(&w, bytes.data() + byte, sizeof w);
    return w;  // only compared with all zeros and all ones: the byte order does not matter
}

}  // namespace

bool cluster_bitmap::next_free_run(std::uint64_t from, std::uint64_t end, std::uint64_t& first,
                                   std::uint64_t& count) const {
    end = std::min(end, clusters());
    std::uint64_t c = from;
    // Skip allocated clusters: a bit at a time to a byte boundary, then whole words of ones.
    while (c < end && allocated(c)) {
        if ((c & 63) == 0 && c + 64 <= end && ~word_at(bytes_, c >> 3) == 0) c += 64;
        else if ((c & 7) == 0 && c + 8 <= end && bytes_[c >> 3] == 0xFF) c += 8;
        else ++c;
    }
    if (c >= end) return false;
    first = c;
    while (c < end && !allocated(c)) {
        if ((c & 63) == 0 && c + 64 <= end && word_at(bytes_, c >> 3) == 0) c += 64;
        else if ((c & 7) == 0 && c + 8 <= end && bytes_[c >> 3] == 0) c += 8;
        else ++c;
    }
    count = c - first;
    return true;
}

status load_cluster_bitmap(const entry_reader& entries, cluster_bitmap& out) {
    mft_reader& records = entries.records();
    ntfs_volume* volume = records.volume();
    if (!volume || !volume->has_reader()) return status::failure("the source holds no volume clusters");
    diag_log& log = records.log();
    mft_entry_info entry;
    if (!entries.read_and_parse(bitmap_entry, entry, true)) return status::failure("the $Bitmap record is unreadable");
    const catalogue_row* data = nullptr;
    for (const auto& [key, row] : entry.catalogue)
        if (row.is_data && !row.is_ads) {
            data = &row;
            break;
        }
    if (!data || (data->non_resident ? data->runs.empty() : data->value.empty())) {
        log.line("err: no data");
        return status::failure("the $Bitmap record holds no data");
    }
    log.line("info: data size 0x%llx", static_cast<ull>(data->stream_size()));
    const std::uint64_t needed = (volume->geometry().total_clusters + 7) / 8;
    const std::uint64_t length = std::min({data->stream_size(), needed, max_bitmap_bytes});
    std::vector<std::uint8_t> bytes;
    if (!data->non_resident) {
        const auto kept = static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(length, data->value.size()));
        bytes.assign(data->value.begin(), data->value.begin() + kept);
    } else {
        bytes.assign(static_cast<std::size_t>(length), 0);
        std::uint64_t got = length;
        stream_read_flags flags;
        if (length && !read_stream_range(*volume, data->runs, 0, bytes.data(), got, flags))
            return status::failure("the $Bitmap clusters cannot be read");
        bytes.resize(static_cast<std::size_t>(got));
    }
    // Bits past the last cluster describe no cluster of this volume.
    if (bytes.size() == needed && volume->geometry().total_clusters % 8)
        bytes.back() |= static_cast<std::uint8_t>(0xFF << (volume->geometry().total_clusters % 8));
    out = cluster_bitmap(std::move(bytes));
    return {};
}

}  // namespace skelvar
