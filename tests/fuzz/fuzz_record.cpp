// libFuzzer harness over the record pipeline: validation and fixups, the
// per-entry pipeline (attributes, attribute lists, directory cache, paths),
// parent path resolution, run-list decoding and the timeline/CSV writers.
//
// The input is an extracted $MFT in miniature: it is split into records
// (1024 bytes, or the size the first record's update sequence count implies)
// and served to the parser as records 0..k through an in-memory mft_source,
// so attribute-list extension records and parent directories are fuzz bytes too.
// The record size is left for the reader to learn from record 0, as with a real file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <span>
#include <streambuf>
#include <vector>

#include "app/mft_entries_ctx.h"
#include "ntfs/data_runs.h"
#include "ntfs/file_record.h"
#include "ntfs/mft_entry_info.h"
#include "ntfs/memory_mft_source.h"
#include "ntfs/mft_walk.h"
#include "ntfs/path_resolution.h"
#include "report/timeline_writer.h"
#include "support/binary_data.h"

namespace {

constexpr std::size_t max_records = 16;

class null_buffer final : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Record size as an extracted $MFT announces it; 1024 when the count is implausible.
std::size_t record_size_of(kavo::binary_data input) {
    const std::uint16_t count = input.u16(0x06);
    return count >= 2 && count <= 9 ? (count - 1) * 512u : 1024u;
}

void decode_runs_of_attributes(std::span<const std::uint8_t> record) {
    const kavo::binary_data rec(record);
    std::vector<skelvar::detailed_run> runs;
    std::vector<skelvar::compact_run> compact;
    std::size_t offset = rec.u16(0x14);
    // Independent of the record decoder's own stopping rules: every plausible attribute is tried.
    for (int guard = 0; guard < 64 && rec.has(offset, 8); ++guard) {
        const std::uint32_t type = rec.u32(offset);
        const std::uint32_t length = rec.u32(offset + 4);
        if (type == 0xFFFFFFFFu || length < 0x10 || !rec.has(offset, length)) break;
        const kavo::binary_data attribute = rec.sub(offset, length);
        if (attribute.u8(0x08) != 0) {
            runs.clear();
            compact.clear();
            if (skelvar::decode_run_list(attribute, runs)) {
                const auto from_detailed = skelvar::compact_runs(runs);
                for (const auto& r : from_detailed) {
                    (void)skelvar::vcn_to_lcn(from_detailed, r.vcn);
                    (void)skelvar::vcn_to_lcn(from_detailed, r.vcn + r.count);
                }
            }
            (void)skelvar::decode_compact_runs(attribute, compact);
        }
        offset += length;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const kavo::binary_data input(std::span<const std::uint8_t>(data, size));
    const std::size_t rec_size = record_size_of(input);
    const std::size_t records = std::min(max_records, (size + rec_size - 1) / rec_size);
    std::vector<std::uint8_t> image(records * rec_size, 0);
    std::memcpy(image.data(), data, std::min(size, image.size()));

    skelvar::mft_entries_ctx ctx;
    ctx.show_progress = false;
    ctx.mftfile_path = "fuzz.mft";
    ctx.source_label = u"fuzz.mft";
    ctx.entry_count = records;
    ctx.reference_time = 134119584000000000ull;  // 2026-01-04: fixed, so runs are reproducible
    ctx.source = std::make_unique<skelvar::memory_mft_source>(image);

    null_buffer sink;
    std::ostream out(&sink);
    skelvar::timeline_writer timeline(ctx, out);

    std::vector<std::uint8_t> record(rec_size);
    skelvar::mft_entry_info entry;
    for (std::size_t n = 0; n < records; ++n) {
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(n * rec_size), rec_size, record.begin());
        decode_runs_of_attributes(record);
        if (skelvar::validate_and_fixup(record, ctx.sector_stride) == skelvar::record_status::unreadable) continue;
        decode_runs_of_attributes(record);

        entry.clear();
        const bool reported = skelvar::process_entry(ctx, record, n, entry);
        for (const auto& [key, name] : entry.file_names) (void)skelvar::resolve_parent_path(name.parent_ref, ctx);
        for (const auto& [key, row] : entry.catalogue) {
            std::vector<skelvar::detailed_run> runs;
            if (row.non_resident) (void)skelvar::decode_run_list(kavo::binary_data(row.record_copy), runs);
        }
        if (reported) timeline.write_entry_report(entry);
    }

    // The same records once more through the CSV layout, with the directory cache now warm.
    ctx.csv = true;
    ctx.separator = ",";
    ctx.no_padding = true;
    skelvar::timeline_writer csv(ctx, out);
    for (std::size_t n = 0; n < records; ++n) {
        std::vector<std::uint8_t> bytes;
        entry.clear();
        if (skelvar::read_file_record(ctx, n, bytes) == skelvar::record_status::unreadable || bytes.empty()) continue;
        if (skelvar::process_entry(ctx, bytes, n, entry)) csv.write_entry_report(entry);
    }
    return 0;
}
