#include "report/writer_choice.h"

#include "report/body_writer.h"
#include "report/hash_writer.h"
#include "report/jsonl_writer.h"
#include "report/l2t_writer.h"
#include "report/path_only_writer.h"
#include "report/per_path_writer.h"
#include "report/record_dump_writer.h"
#include "report/timeline_writer.h"

namespace skelvar {

namespace {

std::unique_ptr<layout_writer> make_writer(output_layout layout, const report_context& context, std::ostream& out) {
    switch (layout) {
        case output_layout::body_file: return make_body_writer(context, out);
        case output_layout::log2timeline: return make_l2t_writer(context, out);
        case output_layout::per_path: return make_per_path_writer(context, out);
        case output_layout::path_only: return make_path_only_writer(context, out);
        case output_layout::hash_report: return make_hash_writer(context, out);
        case output_layout::record_dump: return make_record_dump_writer(context, out);
        case output_layout::json_lines: return make_jsonl_writer(context, out);
        case output_layout::timeline_csv:
        case output_layout::timeline: break;
    }
    return make_timeline_writer(context, out);
}

}  // namespace

output_layout choose_layout(const report_options& o) {
    if (o.record_dump) return output_layout::record_dump;
    if (o.jsonl) return output_layout::json_lines;
    if (o.csv) return output_layout::timeline_csv;
    if (o.bodyfile) return output_layout::body_file;
    if (o.csvl2t) return output_layout::log2timeline;
    if (o.hash_layout) return output_layout::hash_report;
    if (o.csvperpath) return output_layout::per_path;
    if (o.filepath_only) return output_layout::path_only;
    return output_layout::timeline;
}

report_sink::report_sink(const report_context& context, std::ostream& out)
    : layout_(choose_layout(context.options)), actions_(context), writer_(make_writer(layout_, context, out)) {}

void report_sink::write(mft_entry_info& entry) {
    // Header bytes, zone streams, owner SIDs, copies and digests are collected once,
    // before the writer runs; every layout reads them from the entry.
    actions_.run(entry);
    // Each copied stream is reported with its own path, its name after the entry's
    // (the layouts of copies); any other layout writes the entry once.
    const bool per_stream = layout_ == output_layout::per_path || layout_ == output_layout::path_only;
    if (entry.copies.empty() || !per_stream) {
        if (!entry.copies.empty()) entry.extracted_path = entry.copies.front().path;
        writer_->write(entry);
        return;
    }
    for (const stream_copy& c : entry.copies) {
        entry.extracted_path = c.path;
        writer_->write(entry, c.stream_name);
    }
}

}  // namespace skelvar
