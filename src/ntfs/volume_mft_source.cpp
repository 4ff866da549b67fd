#include "ntfs/volume_mft_source.h"

#include <algorithm>
#include <cstring>

namespace skelvar {

volume_mft_source::volume_mft_source(std::unique_ptr<ntfs_volume> volume) : volume_(std::move(volume)) {}

volume_mft_source::~volume_mft_source() {
    if (volume_) close_volume(*volume_);
}

bool volume_mft_source::ready() const { return volume_ && volume_->ready(); }

std::uint64_t volume_mft_source::size_bytes() const {
    if (!volume_) return 0;
    if (volume_->in_memory()) return volume_->memory_mft()->size_bytes();
    return volume_->mft_mapped_bytes();
}

std::uint32_t volume_mft_source::known_record_size() const {
    if (!volume_) return 0;
    return volume_->record_size() ? volume_->record_size() : 1024;
}

std::uint64_t volume_mft_source::entry_count() const { return volume_ ? volume_->entry_count() : 0; }

bool volume_mft_source::fill_window(std::uint64_t offset) {
    if (window_.empty()) window_.resize(window_size);
    win_start_ = offset;
    win_len_ = volume_->read_mft_prefix(offset, window_size, window_.data());
    return win_len_ > 0;
}

bool volume_mft_source::read_at(std::uint64_t offset, std::uint32_t length, std::uint8_t* out) {
    if (!ready() || length == 0) return false;
    if (volume_->in_memory() || offset < volume_->record_size()) {
        last_miss_end_ = offset + length;
        return volume_->read_mft_bytes(offset, length, out);
    }
    if (offset >= win_start_ && length <= win_len_ && offset - win_start_ <= win_len_ - length) {
        std::memcpy(out, window_.data() + (offset - win_start_), length);
        return true;
    }
    // A read that continues the window, or two misses in a row, is the walk
    // moving on: refill. Anything else (parents, extension records) is a
    // scattered lookup that goes straight to the volume and leaves the window be.
    const bool streaming = offset == win_start_ + win_len_ || offset == last_miss_end_;
    last_miss_end_ = offset + length;
    if (streaming && length <= window_size && fill_window(offset) && length <= win_len_) {
        std::memcpy(out, window_.data(), length);
        return true;
    }
    return volume_->read_mft_bytes(offset, length, out);
}

bool volume_mft_source::read_direct(std::uint64_t offset, std::uint32_t length, std::uint8_t* out) {
    // Record 0 is read where the boot sector puts it: through read_at.
    if (!ready() || length == 0 || volume_->in_memory() || offset < volume_->record_size())
        return read_at(offset, length, out);
    return volume_->read_mft_prefix(offset, length, out) == length;
}

bool volume_mft_source::read_run_clusters(const std::vector<compact_run>& runs, std::uint64_t max_bytes,
                                          std::vector<std::uint8_t>& out) {
    out.clear();
    if (!volume_ || !volume_->has_reader() || volume_->cluster_size() == 0) return false;
    const std::uint64_t cs = volume_->cluster_size();
    std::uint64_t total = 0;
    for (const compact_run& r : runs) {
        total += static_cast<std::uint64_t>(r.count) * cs;
        if (total >= max_bytes) break;
    }
    total = std::min(total, max_bytes);
    if (total == 0) return false;
    out.assign(static_cast<std::size_t>(total), 0);
    std::uint64_t pos = 0;
    for (const compact_run& r : runs) {
        if (pos >= total) break;
        const std::uint64_t clusters = std::min<std::uint64_t>(r.count, (total - pos + cs - 1) / cs);
        const std::uint64_t bytes = std::min(clusters * cs, total - pos);
        if (!r.sparse) {
            // The whole clusters in one read; when that fails, cluster by cluster up to the first bad one.
            const std::uint64_t whole = bytes / cs;
            std::uint64_t i = 0;
            if (whole > 0 && volume_->read_clusters(r.lcn, whole, out.data() + pos))
                i = whole;
            else
                std::memset(out.data() + pos, 0, static_cast<std::size_t>(bytes));
            std::vector<std::uint8_t>& scratch = volume_->cluster_scratch();
            for (; i < clusters; ++i) {
                if (!volume_->read_clusters(r.lcn + i, 1, scratch.data())) break;
                std::memcpy(out.data() + pos + i * cs, scratch.data(), std::min(cs, bytes - i * cs));
            }
        }
        pos += bytes;
    }
    return true;
}

}  // namespace skelvar
