#include "ntfs/stream_bytes.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ntfs/lznt1.h"

namespace skelvar {

namespace {

constexpr std::uint64_t max_cluster_bytes = std::uint64_t{2} << 20;  // the largest NTFS cluster
constexpr std::uint64_t max_unit_bytes = std::uint64_t{2} << 20;
constexpr std::uint64_t piece_bytes = std::uint64_t{1} << 20;  // plain streams move in pieces of this

std::string hex(std::uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%" PRIx64, v);
    return text;
}

std::uint64_t ceil_div(std::uint64_t a, std::uint64_t b) { return a / b + (a % b != 0); }

// Run index holding `vcn`, or runs.size(). Tries the run that held the previous
// VCN and its successor first, so walking a stream in order costs O(1) a step.
std::size_t find_run(std::span<const compact_run> runs, std::uint64_t vcn, std::size_t& hint) {
    const auto holds = [&](std::size_t i) { return vcn >= runs[i].vcn && vcn - runs[i].vcn < runs[i].count; };
    for (std::size_t i = hint; i < runs.size() && i < hint + 2; ++i)
        if (holds(i)) return hint = i;
    for (std::size_t i = 0; i < runs.size(); ++i)
        if (holds(i)) return hint = i;
    return runs.size();
}

// One production: its buffers, position and result, shared by both layouts.
class producer {
public:
    producer(cluster_reader& reader, const stream_geometry& g, const stream_bytes_options& o,
             const stream_byte_sink& sink, const stream_progress& progress)
        : reader_(reader), g_(g), o_(o), sink_(sink), progress_(progress),
          cs_(g.cluster_size), length_(stream_bytes_length(g, o)),
          zero_from_(o.raw ? length_ : std::min(g.initialized_size, length_)) {}

    stream_bytes_result run() {
        if (cs_ == 0 || cs_ > max_cluster_bytes)
            return stop(stream_bytes_status::bad_geometry, 0, "cluster size " + hex(cs_) + " unusable");
        if (g_.unit_clusters != 0 && !o_.raw) {
            if (g_.unit_clusters > max_unit_bytes / cs_)
                return stop(stream_bytes_status::bad_geometry, 0,
                            "compression unit of " + hex(g_.unit_clusters) + " clusters unusable");
            compressed();
        } else {
            plain();
        }
        return std::move(result_);
    }

private:
    // Sequential runs of clusters as stored.
    void plain() {
        const std::uint64_t piece_clusters = std::max<std::uint64_t>(1, piece_bytes / cs_);
        buffer_.resize(static_cast<std::size_t>(std::min(piece_clusters, ceil_div(length_, cs_)) * cs_));
        std::size_t hint = 0;
        std::uint64_t pos = 0;  // always at a cluster start
        while (pos < length_) {
            const std::uint64_t vcn = pos / cs_;
            const std::size_t i = find_run(g_.runs, vcn, hint);
            if (i == g_.runs.size()) return unmapped(pos);
            const compact_run& r = g_.runs[i];
            std::uint64_t clusters = std::min({r.count - (vcn - r.vcn), ceil_div(length_ - pos, cs_), piece_clusters});
            // Clusters past the initialized size are never read: stop the piece where they start.
            if (pos < zero_from_ && !r.sparse) clusters = std::min(clusters, ceil_div(zero_from_ - pos, cs_));
            const std::uint64_t n = std::min(clusters * cs_, length_ - pos);
            const std::span<std::uint8_t> piece(buffer_.data(), static_cast<std::size_t>(n));
            if (r.sparse) {
                result_.sparse_bytes += n;
                if (!o_.skip_sparse && !emit_zeros(piece)) return;
            } else if (pos >= zero_from_) {
                if (!emit_zeros(piece)) return;
            } else {
                const std::uint64_t lcn = r.lcn + (vcn - r.vcn);
                const std::span<std::uint8_t> whole(buffer_.data(), static_cast<std::size_t>(clusters * cs_));
                if (!reader_.read_clusters(lcn, clusters, whole)) {
                    // Keep the readable clusters before the bad one.
                    std::uint64_t good = 0;
                    while (good < clusters && reader_.read_clusters(lcn + good, 1, whole.subspan(good * cs_, cs_)))
                        ++good;
                    const auto part = piece.first(static_cast<std::size_t>(std::min(good * cs_, n)));
                    zero_tail(part, pos);
                    if (emit(part)) unreadable(pos + part.size(), lcn + good);
                    return;
                }
                zero_tail(piece, pos);
                if (!emit(piece)) return;
            }
            pos += n;
            report(pos);
        }
    }

    // One compression unit at a time: classify its clusters, then read and expand.
    void compressed() {
        const std::uint64_t unit_clusters = g_.unit_clusters, unit_bytes = unit_clusters * cs_;
        buffer_.resize(static_cast<std::size_t>(unit_bytes));
        stored_.resize(static_cast<std::size_t>(unit_bytes));
        std::size_t hint = 0;
        for (std::uint64_t start = 0, len = 0; start < length_; start += len) {
            len = std::min(unit_bytes, length_ - start);  // the last unit may be short; never wraps
            const std::uint64_t first = start / cs_;
            // Pass 1: how the unit's clusters are mapped, up to the first unmapped one.
            std::uint64_t real = 0, sparse = 0;
            for (std::uint64_t vcn = first; vcn < first + unit_clusters;) {
                const std::size_t i = find_run(g_.runs, vcn, hint);
                if (i == g_.runs.size()) break;
                const std::uint64_t k = std::min(g_.runs[i].count - (vcn - g_.runs[i].vcn), first + unit_clusters - vcn);
                (g_.runs[i].sparse ? sparse : real) += k;
                vcn += k;
            }
            const std::uint64_t mapped = real + sparse;
            const std::span<std::uint8_t> out(buffer_.data(), static_cast<std::size_t>(len));
            if (real > 0 && sparse > 0) {
                if (!expand_unit(start, first, real)) return;
            } else if (real == 0 && sparse > 0) {
                // A wholly sparse unit: sparse data, not compression.
                const std::uint64_t n = std::min(len, mapped * cs_);
                result_.sparse_bytes += n;
                if (!o_.skip_sparse && !emit_zeros(out.first(static_cast<std::size_t>(n)))) return;
                if (n < len) return unmapped(start + n);
                report(start + len);
                continue;
            } else if (real > 0) {
                // Stored plain. A run list ending inside the unit still serves the bytes it maps.
                if (!read_unit(start, first, real, buffer_)) return;
                if (real * cs_ < len) {
                    const auto part = out.first(static_cast<std::size_t>(real * cs_));
                    zero_tail(part, start);
                    if (!emit(part)) return;
                    return unmapped(start + real * cs_);
                }
            } else {
                return unmapped(start);
            }
            zero_tail(out, start);
            if (!emit(out)) return;
            report(start + len);
        }
    }

    // Reads the first `count` allocated clusters of the unit at VCN `first` into `into`.
    bool read_unit(std::uint64_t start, std::uint64_t first, std::uint64_t count, std::span<std::uint8_t> into) {
        if (start >= zero_from_) return true;  // past the initialized size: zeros whatever is stored
        std::size_t hint = 0;
        std::uint64_t done = 0;
        for (std::uint64_t vcn = first; done < count && vcn < first + g_.unit_clusters;) {
            const std::size_t i = find_run(g_.runs, vcn, hint);
            if (i == g_.runs.size()) break;  // overlapping runs can map differently from pass 1
            const compact_run& r = g_.runs[i];
            std::uint64_t k = std::min<std::uint64_t>(r.count - (vcn - r.vcn), first + g_.unit_clusters - vcn);
            if (!r.sparse) k = std::min(k, count - done);
            if (!r.sparse) {
                const std::uint64_t lcn = r.lcn + (vcn - r.vcn);
                if (!reader_.read_clusters(lcn, k, into.subspan(static_cast<std::size_t>(done * cs_),
                                                                static_cast<std::size_t>(k * cs_)))) {
                    unreadable(start, lcn);
                    return false;
                }
                done += k;
            }
            vcn += k;
        }
        std::fill(into.begin() + static_cast<std::ptrdiff_t>(done * cs_), into.end(), std::uint8_t{0});
        return true;
    }

    bool expand_unit(std::uint64_t start, std::uint64_t first, std::uint64_t real) {
        const std::span<std::uint8_t> in(stored_.data(), static_cast<std::size_t>(real * cs_));
        if (!read_unit(start, first, real, in)) return false;
        if (start >= zero_from_) return true;  // zero_tail clears the whole unit
        const lznt1_result r = lznt1_decompress(in, buffer_);
        if (!r.ok() && result_.status == stream_bytes_status::complete) {
            result_.status = stream_bytes_status::damaged;
            result_.stopped_at = start;
            result_.message = "compressed data damaged in the unit at " + hex(start) + ": " +
                              std::string(lznt1_fault_text(r.first_fault));
        }
        return true;
    }

    // Bytes of `piece` (at stream offset `pos`) past the initialized size become zeros.
    void zero_tail(std::span<std::uint8_t> piece, std::uint64_t pos) {
        if (pos + piece.size() <= zero_from_) return;
        const std::uint64_t from = zero_from_ > pos ? zero_from_ - pos : 0;
        std::fill(piece.begin() + static_cast<std::ptrdiff_t>(from), piece.end(), std::uint8_t{0});
    }

    bool emit_zeros(std::span<std::uint8_t> piece) {
        std::fill(piece.begin(), piece.end(), std::uint8_t{0});
        return emit(piece);
    }

    bool emit(std::span<const std::uint8_t> piece) {
        if (piece.empty()) return true;
        if (!sink_(piece)) {
            stop(stream_bytes_status::sink_refused, result_.written, "the output did not take the bytes");
            return false;
        }
        result_.written += piece.size();
        return true;
    }

    void report(std::uint64_t done) {
        if (progress_) progress_(done, length_);
    }

    void unmapped(std::uint64_t pos) {
        stop(stream_bytes_status::unmapped, pos,
             "the run list maps only " + hex(pos) + " of " + hex(length_) + " bytes");
    }

    void unreadable(std::uint64_t pos, std::uint64_t lcn) {
        stop(stream_bytes_status::unreadable, pos, "cluster " + hex(lcn) + " cannot be read");
    }

    stream_bytes_result stop(stream_bytes_status status, std::uint64_t at, std::string message) {
        result_.status = status;
        result_.stopped_at = at;
        result_.message = std::move(message);
        return result_;
    }

    cluster_reader& reader_;
    const stream_geometry& g_;
    const stream_bytes_options& o_;
    const stream_byte_sink& sink_;
    const stream_progress& progress_;
    const std::uint64_t cs_, length_, zero_from_;
    std::vector<std::uint8_t> buffer_, stored_;
    stream_bytes_result result_;
};

}  // namespace

std::uint64_t stream_bytes_length(const stream_geometry& g, const stream_bytes_options& o) {
    return o.raw ? g.allocated_size : std::max(g.data_size, g.initialized_size);
}

std::uint64_t compression_unit_clusters(std::uint8_t exponent) {
    // Volumes use 16-cluster units; anything beyond 2^12 clusters is refused later.
    return exponent == 0 ? 0 : exponent < 32 ? std::uint64_t{1} << exponent : ~0ull;
}

stream_bytes_result produce_stream_bytes(cluster_reader& reader, const stream_geometry& geometry,
                                         const stream_bytes_options& options, const stream_byte_sink& sink,
                                         const stream_progress& progress) {
    return producer(reader, geometry, options, sink, progress).run();
}

}  // namespace skelvar
