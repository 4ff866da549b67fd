// libFuzzer harness for producing a stream's bytes from a hostile run list
// and hostile sizes over an in-memory volume.
//
// Input: [0] cluster size 512 << (b % 4); [1] flags: 1 raw, 2 skip sparse,
// 4 compressed (16-cluster units), 8 compressed with the unit exponent of [2];
// [3..11] data, initialized and allocated sizes (24 bits each, so a run stays
// short); [12] start VCN; [13] run-list length L; then L run-list bytes; the
// rest is the volume, cluster 0 first. Reads past it fail.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "ntfs/data_runs.h"
#include "ntfs/stream_bytes.h"
#include "support/binary_data.h"

namespace {

class memory_clusters final : public skelvar::cluster_reader {
public:
    memory_clusters(std::span<const std::uint8_t> volume, std::uint64_t cs) : volume_(volume), cs_(cs) {}
    bool read_clusters(std::uint64_t lcn, std::uint64_t count, std::span<std::uint8_t> out) override {
        const std::uint64_t clusters = volume_.size() / cs_;
        if (out.size() != count * cs_ || lcn > clusters || count > clusters - lcn) return false;
        std::memcpy(out.data(), volume_.data() + lcn * cs_, out.size());
        return true;
    }

private:
    std::span<const std::uint8_t> volume_;
    std::uint64_t cs_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kavo::binary_data in(std::span(data, size));
    if (size < 14) return 0;
    const std::uint64_t cs = 512u << (in.u8(0) % 4);
    const std::uint8_t flags = in.u8(1);
    const std::size_t run_bytes = in.u8(13);
    if (size < 14 + run_bytes) return 0;

    // A minimal non-resident attribute around the run list.
    std::vector<std::uint8_t> attr(0x40, 0);
    attr.insert(attr.end(), data + 14, data + 14 + run_bytes);
    attr.push_back(0);
    attr[0] = 0x80;
    attr[4] = static_cast<std::uint8_t>(attr.size());
    attr[5] = static_cast<std::uint8_t>(attr.size() >> 8);
    attr[8] = 1;
    attr[0x10] = in.u8(12);
    attr[0x20] = 0x40;
    std::vector<skelvar::compact_run> runs;
    skelvar::decode_compact_runs(kavo::binary_data(attr), runs);

    skelvar::stream_geometry g;
    g.runs = runs;
    g.cluster_size = cs;
    g.data_size = in.le(3, 3);
    g.initialized_size = in.le(6, 3);
    g.allocated_size = in.le(9, 3);
    if (flags & 8) g.unit_clusters = skelvar::compression_unit_clusters(in.u8(2));
    else if (flags & 4) g.unit_clusters = 16;
    skelvar::stream_bytes_options o;
    o.raw = flags & 1;
    o.skip_sparse = flags & 2;

    memory_clusters volume(std::span(data + 14 + run_bytes, size - 14 - run_bytes), cs);
    const std::uint64_t length = skelvar::stream_bytes_length(g, o);
    const std::uint64_t max_piece = std::uint64_t{2} << 20;  // a 1 MiB piece or a unit of at most 2 MiB
    std::uint64_t seen = 0, last_done = 0;
    const auto r = skelvar::produce_stream_bytes(
        volume, g, o,
        [&](std::span<const std::uint8_t> piece) {
            if (piece.empty() || piece.size() > max_piece) __builtin_trap();
            seen += piece.size();
            return true;
        },
        [&](std::uint64_t done, std::uint64_t total) {
            if (done < last_done || done > total || total != length) __builtin_trap();
            last_done = done;
        });
    if (r.written != seen || seen > length) __builtin_trap();
    // A whole stream is its length, less the sparse ranges that were skipped.
    if (r.whole() && seen + (o.skip_sparse ? r.sparse_bytes : 0) != length) __builtin_trap();
    return 0;
}
