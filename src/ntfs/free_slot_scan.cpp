#include "ntfs/free_slot_scan.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "volume/raw_disk_io.h"

namespace skelvar {

namespace {

// Allocated bytes between two free runs that are read through rather than
// costing a read of their own.
constexpr std::uint64_t gap_limit = 64u << 10;
// Grouping of slots when each is read by itself.
constexpr std::uint64_t unbuffered_piece_bytes = 1u << 20;

bool has_signature(const std::uint8_t* p) {
    return std::memcmp(p, "FILE", 4) == 0 || std::memcmp(p, "BAAD", 4) == 0;
}

class slot_scanner {
public:
    slot_scanner(RAW_DISK_IO& reader, const slot_geometry& g, const slot_scan_settings& s, const slot_visitor& visit,
                 const cluster_progress& progress)
        : reader_(reader), g_(g), s_(s), visit_(visit), progress_(progress),
          cs_(g.cluster_size), rs_(g.record_size),
          per_cluster_(g.cluster_size >= g.record_size ? g.cluster_size / g.record_size : 1),
          tail_(g.record_size > g.cluster_size ? g.record_size - g.cluster_size : 0) {
        const std::uint64_t piece_bytes = s.block_bytes ? s.block_bytes : unbuffered_piece_bytes;
        piece_clusters_ = std::max<std::uint64_t>(1, piece_bytes / cs_);
        if (s.block_bytes) buffer_.resize(static_cast<std::size_t>(piece_clusters_ * cs_ + tail_));
        one_.resize(rs_);
    }

    // A run of free clusters, in ascending order.
    void add_run(std::uint64_t first, std::uint64_t count) {
        counts.free_clusters += count;
        const std::uint64_t run_end = first + count;
        for (std::uint64_t p = first; p < run_end;) {
            const std::uint64_t end = std::min(run_end, p + piece_clusters_);
            add_piece({p, end, run_end});
            p = end;
        }
    }

    void flush() {
        if (!pieces_.empty()) {
            std::uint64_t usable = 0;
            bool whole = false;  // the read ended where the image ends: no slot lies past it
            if (s_.block_bytes && window_end_ > window_start_) {
                usable = read(window_start_, window_end_ - window_start_, buffer_.data());
                whole = usable != 0;
            }
            for (const piece& p : pieces_) scan_piece(p, usable, whole);
        }
        pieces_.clear();
        window_start_ = window_end_ = 0;
    }

    slot_scan_counts counts;

private:
    struct piece {
        std::uint64_t first, end, run_end;  // clusters: slots start in [first, end) of the run ending at run_end
    };

    // Bytes read at `offset` of the volume into `out`; 0 when the read failed.
    std::uint64_t read(std::uint64_t offset, std::uint64_t length, std::uint8_t* out) {
        ++counts.reads;
        if (offset > ~0ull - g_.volume_offset) return 0;
        std::uint32_t count = static_cast<std::uint32_t>(length);
        return reader_.read(out, count, g_.volume_offset + offset) ? count : 0;
    }

    std::uint64_t read_end(const piece& p) const { return std::min(p.run_end * cs_, p.end * cs_ + tail_); }
    bool holds_slot(const piece& p) const { return p.first * cs_ + rs_ <= p.run_end * cs_; }

    void add_piece(const piece& p) {
        if (holds_slot(p)) {
            const std::uint64_t start = p.first * cs_, stop = read_end(p);
            if (!pieces_.empty() && window_end_ > window_start_ &&
                (start > window_end_ + gap_limit || stop - window_start_ > buffer_.size()))
                flush();
            if (window_end_ == window_start_) window_start_ = start;
            window_end_ = std::max(window_end_, stop);
        }
        pieces_.push_back(p);
    }

    // `usable` bytes of the window were read; when `whole`, a slot past them lies
    // past the end of the image, else (the read failed) it is read by itself.
    void scan_piece(const piece& p, std::uint64_t usable, bool whole) {
        const std::uint64_t limit = p.run_end * cs_;
        const std::uint64_t interval = s_.progress_interval;
        std::uint64_t next_progress = (p.first + interval - 1) / interval * interval;
        for (std::uint64_t c = p.first; c < p.end; ++c) {
            if (c == next_progress) {
                if (progress_) progress_(c);
                next_progress += interval;
            }
            for (std::uint64_t k = 0; k < per_cluster_; ++k) {
                const std::uint64_t at = c * cs_ + k * rs_;
                if (at + rs_ > limit) break;
                ++counts.slots;
                const std::uint8_t* slot = nullptr;
                if (at >= window_start_ && at + rs_ - window_start_ <= usable) {
                    slot = buffer_.data() + (at - window_start_);
                } else if (!whole && read(at, rs_, one_.data()) == rs_) {
                    slot = one_.data();  // read by itself: unbuffered, or its block could not be read
                }
                if (slot && has_signature(slot)) {
                    ++counts.found;
                    visit_(at, std::span<const std::uint8_t>(slot, rs_));
                }
            }
        }
    }

    RAW_DISK_IO& reader_;
    const slot_geometry& g_;
    const slot_scan_settings& s_;
    const slot_visitor& visit_;
    const cluster_progress& progress_;
    const std::uint64_t cs_, rs_, per_cluster_, tail_;
    std::uint64_t piece_clusters_ = 1;
    std::vector<piece> pieces_;
    std::uint64_t window_start_ = 0, window_end_ = 0;  // bytes of the volume the next read covers
    std::vector<std::uint8_t> buffer_, one_;
};

}  // namespace

slot_scan_counts scan_free_slots(RAW_DISK_IO& reader, const slot_geometry& geometry, const cluster_bitmap& bitmap,
                                 const slot_scan_settings& settings, const slot_visitor& visit,
                                 const cluster_progress& progress) {
    if (geometry.cluster_size == 0 || geometry.record_size < 4 || settings.progress_interval == 0) return {};
    slot_scanner scanner(reader, geometry, settings, visit, progress);
    const std::uint64_t end = std::min(settings.end_cluster, bitmap.clusters());
    std::uint64_t first = 0, count = 0;
    for (std::uint64_t c = settings.first_cluster; c < end && bitmap.next_free_run(c, end, first, count);
         c = first + count)
        scanner.add_run(first, count);
    scanner.flush();
    return scanner.counts;
}

}  // namespace skelvar
