#include "report/writer_choice.h"

#include "app/mft_entries_ctx.h"
#include "report/body_writer.h"
#include "report/entry_actions.h"
#include "report/l2t_writer.h"
#include "report/path_only_writer.h"
#include "report/per_path_writer.h"
#include "report/timeline_writer.h"

namespace skelvar {

output_layout choose_layout(const mft_entries_ctx& ctx) {
    if (ctx.record_dump) return output_layout::record_dump;
    if (ctx.csv) return output_layout::timeline_csv;
    if (ctx.bodyfile) return output_layout::body_file;
    if (ctx.csvl2t) return output_layout::log2timeline;
    if (ctx.hash_layout) return output_layout::hash_report;
    // The default writer picks among its own three; -default_output only cleared the others.
    if (ctx.csvperpath) return output_layout::per_path;
    if (ctx.filepath_only) return output_layout::path_only;
    return output_layout::timeline;
}

struct report_sink::impl {
    impl(mft_entries_ctx& c, std::ostream& out) : ctx(c), layout(choose_layout(c)) {
        switch (layout) {
            case output_layout::body_file:
                body = std::make_unique<body_writer>(ctx, out);
                break;
            case output_layout::log2timeline:
                l2t = std::make_unique<l2t_writer>(ctx, out);
                break;
            case output_layout::per_path:
                per_path = std::make_unique<per_path_writer>(ctx, out);
                break;
            case output_layout::path_only:
                path_only = std::make_unique<path_only_writer>(ctx, out);
                break;
            // The record dump (-find_mft) and the hash report (-hashfile) get their own writers
            // here; until then their entries are written as the default timeline.
            case output_layout::record_dump:
            case output_layout::hash_report:
            case output_layout::timeline_csv:
            case output_layout::timeline:
                timeline = std::make_unique<timeline_writer>(ctx, out);
                break;
        }
    }

    void write(mft_entry_info& entry) {
        // Header bytes, zone streams and owner SIDs (copies and digests as they come) are
        // collected once, before any writer runs; every layout reads them from the entry.
        run_entry_actions(entry, ctx);
        if (body) body->write_entry(entry);
        else if (l2t) l2t->write_entry(entry);
        else if (per_path) per_path->write_entry(entry, {}, !ctx.cluster_info);
        else if (path_only) path_only->write_entry(entry);
        else timeline->write_entry_report(entry);
    }

    void finish() {
        if (body) body->write_header();
        else if (l2t) l2t->write_header();
        else if (per_path) per_path->write_header();
        else if (timeline) timeline->write_header();
    }

    mft_entries_ctx& ctx;
    output_layout layout;
    std::unique_ptr<timeline_writer> timeline;
    std::unique_ptr<body_writer> body;
    std::unique_ptr<l2t_writer> l2t;
    std::unique_ptr<per_path_writer> per_path;
    std::unique_ptr<path_only_writer> path_only;
};

report_sink::report_sink(mft_entries_ctx& ctx, std::ostream& out) : impl_(std::make_unique<impl>(ctx, out)) {}
report_sink::~report_sink() = default;

output_layout report_sink::layout() const { return impl_->layout; }

void report_sink::write(mft_entry_info& entry) { impl_->write(entry); }

void report_sink::finish() { impl_->finish(); }

}  // namespace skelvar
