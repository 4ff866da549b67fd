// libFuzzer harness over the record pipeline: validation and fixups, the
// per-entry pipeline (attributes, attribute lists, directory cache, paths),
// parent path resolution, run-list decoding and the timeline/CSV writers.
//
// The input is an extracted $MFT in miniature: it is split into records
// (the size the first record's bytes allocated or update sequence count gives)
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

#include "ntfs/attribute_iterator.h"
#include "ntfs/data_runs.h"
#include "ntfs/entry_reader.h"
#include "ntfs/file_record.h"
#include "ntfs/memory_mft_source.h"
#include "ntfs/mft_entry_info.h"
#include "ntfs/mft_reader.h"
#include "ntfs/mft_walk.h"
#include "ntfs/path_resolver.h"
#include "ntfs/record_header.h"
#include "report/timeline_writer.h"
#include "support/binary_data.h"
#include "support/diag_log.h"

namespace {

constexpr std::size_t max_records = 16;

class null_buffer final : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Record size as an extracted $MFT announces it; 1024 when nothing plausible is said.
std::size_t record_size_of(kavo::binary_data input) {
    const std::uint32_t allocated = input.u32(0x1C);
    if (allocated == 1024 || allocated == 4096) return allocated;
    const std::uint16_t count = input.u16(0x06);
    return count >= 2 && count <= 9 ? (count - 1) * 512u : 1024u;
}

// Every attribute the iterator yields, independent of the decoder's own stopping rules.
void decode_runs_of_attributes(std::span<const std::uint8_t> record) {
    const kavo::binary_data rec(record);
    std::vector<skelvar::detailed_run> runs;
    std::vector<skelvar::compact_run> compact;
    skelvar::attribute_iterator it(rec, skelvar::read_record_header(rec).first_attribute);
    for (skelvar::attribute_view a; it.next(a);) {
        (void)a.name();
        if (!a.non_resident) continue;
        runs.clear();
        compact.clear();
        if (skelvar::decode_run_list(a.bytes, runs)) {
            const auto from_detailed = skelvar::compact_runs(runs);
            for (const auto& r : from_detailed) {
                (void)skelvar::vcn_to_lcn(from_detailed, r.vcn);
                (void)skelvar::vcn_to_lcn(from_detailed, r.vcn + r.count);
            }
        }
        (void)skelvar::decode_compact_runs(a.bytes, compact);
    }
}

// Writes every entry the walk selects; the timeline writer runs on each.
struct write_all final : skelvar::entry_visitor {
    skelvar::layout_writer& writer;
    explicit write_all(skelvar::layout_writer& w) : writer(w) {}
    skelvar::preselection preselect(std::uint64_t, bool, skelvar::mft_entry_info&) override {
        return skelvar::preselection::keep;
    }
    bool select(skelvar::mft_entry_info&, bool) override { return true; }
    void write(skelvar::mft_entry_info& e) override { writer.write(e); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const kavo::binary_data input(std::span<const std::uint8_t>(data, size));
    const std::size_t rec_size = record_size_of(input);
    const std::size_t records_in = std::min(max_records, (size + rec_size - 1) / rec_size);
    std::vector<std::uint8_t> image(records_in * rec_size, 0);
    std::memcpy(image.data(), data, std::min(size, image.size()));

    skelvar::diag_log log;
    skelvar::mft_reader records(log);
    records.attach(std::make_unique<skelvar::memory_mft_source>(image));
    skelvar::decode_settings decode;
    decode.reference_time = 134119584000000000ull;  // 2026-01-04: fixed, so runs are reproducible
    skelvar::entry_reader entries(records, decode);
    skelvar::path_resolver paths(entries);

    null_buffer sink;
    std::ostream out(&sink);
    skelvar::report_options options;
    const skelvar::time_window window;
    const skelvar::header_request header;
    const skelvar::report_context context{options, window, header, &paths, &entries, nullptr, true};
    auto timeline = skelvar::make_timeline_writer(context, out);
    write_all visitor(*timeline);
    skelvar::walk_settings settings;
    settings.show_progress = false;
    settings.source_label = u"fuzz.mft";
    skelvar::mft_walk walk(entries, paths, settings, visitor);

    std::vector<std::uint8_t> record(rec_size);
    skelvar::mft_entry_info entry;
    for (std::size_t n = 0; n < records_in; ++n) {
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(n * rec_size), rec_size, record.begin());
        decode_runs_of_attributes(record);
        if (skelvar::validate_and_fixup(record) == skelvar::record_status::unreadable) continue;
        decode_runs_of_attributes(record);
        walk.process(record, n, entry);
        for (const auto& [key, name] : entry.file_names) (void)paths.resolve_parent(name.parent_ref);
    }

    // The same records once more through the range walk, with the directory cache now warm.
    (void)walk.walk_range();
    return 0;
}
