#include "report/timeline_writer.h"

#include <optional>

#include "app/mft_entries_ctx.h"
#include "report/entry_actions.h"
#include "report/macb_text.h"
#include "report/output_row.h"
#include "report/result_record.h"
#include "report/row_writer.h"
#include "report/timeline_columns.h"

namespace skelvar {

struct timeline_writer::impl {
    impl(mft_entries_ctx& c, std::ostream& o) : ctx(c), out(o) {}

    // The registry is built on first use: the options are final by then.
    void prepare() {
        if (writer) return;
        cols = build_timeline_columns(ctx, row);
        writer.emplace(make_row_format(ctx, ctx.csv));
    }

    void write_header() {
        prepare();
        if (!header_pending) return;
        writer->write_header(out, row);
        header_pending = false;
    }

    void set_fixed_cells() {
        set_text(row, cols.entry, rec.entry_text);
        set_number(row, cols.seqnum, rec.sequence, 2);
        set_text(row, cols.ext, rec.ext_text);
        set_number(row, cols.ref, rec.link_count, 4);
        set_number(row, cols.size, rec.size, 8);
        set_text(row, cols.data_type, {});
        set_text(row, cols.other, rec.other_info);
        set_text(row, cols.md5, rec.md5_present ? std::string_view(rec.md5) : std::string_view());
        set_text(row, cols.sha1, rec.sha1_present ? std::string_view(rec.sha1) : std::string_view());
        set_text(row, cols.sha256, rec.sha256_present ? std::string_view(rec.sha256) : std::string_view());
        set_text(row, cols.streams, rec.stream_info);
        set_text(row, cols.extra, cols.extra_is_copy ? rec.extracted_path : rec.header_bytes);
    }

    void write_name_line(const macb_cell& cell, std::uint32_t index, bool dos) {
        const name_item& n = rec.names[index];
        macb.clear();
        append_macb_text(cell, !dos, dos, macb);
        set_text(row, cols.macb, macb);
        set_text(row, cols.type, dos ? rec.type_dos_text : rec.type_text);
        set_number(row, cols.parent, ref_entry(n.parent_ref), 8);
        set_number(row, cols.parent_seq, ref_seq(n.parent_ref), 2);
        set_text(row, cols.name, rec.name(n));
        set_text(row, cols.path, rec.path(n));
        writer->write_row(out, row);
    }

    void write_entry(mft_entry_info& entry) {
        write_header();
        fill_result_record(entry, ctx, rec);
        collect_names_and_times(entry, ctx, rec);
        set_fixed_cells();
        for (std::size_t i = 0; i < rec.times.size(); ++i) {
            const macb_cell& cell = rec.times[i];
            if (!rec.in_window(cell.value)) continue;
            set_time(row, cols.when, cell.value, cols.pair ? kind_date_time : kind_date);
            for (std::uint32_t n : cell.long_names) write_name_line(cell, n, false);
            for (std::uint32_t n : cell.dos_names) write_name_line(cell, n, true);
        }
    }

    mft_entries_ctx& ctx;
    std::ostream& out;
    bool header_pending = true;
    output_row row;
    timeline_columns cols;
    std::optional<row_writer> writer;
    result_record rec;
    std::string macb;
};

timeline_writer::timeline_writer(mft_entries_ctx& ctx, std::ostream& out) : impl_(std::make_unique<impl>(ctx, out)) {}

timeline_writer::~timeline_writer() = default;

void timeline_writer::write_header() { impl_->write_header(); }

void timeline_writer::write_entry_report(mft_entry_info& entry) {
    // The per-stream actions (copies and digests still to come) fill the entry's
    // action results; the lines follow.
    run_entry_actions(entry, impl_->ctx);
    impl_->write_entry(entry);
}

}  // namespace skelvar
