#include "report/timeline_writer.h"

#include "report/macb_text.h"
#include "report/output_row.h"
#include "report/result_record.h"
#include "report/row_writer.h"
#include "report/timeline_columns.h"

namespace skelvar {

namespace {

class timeline_writer final : public layout_writer {
public:
    timeline_writer(const report_context& context, std::ostream& out)
        : layout_writer(out),
          context_(context),
          cols_(build_timeline_columns(context.options, row_)),
          writer_(make_row_format(context.options, context.options.csv)) {}

private:
    void write_header_line() override { writer_.write_header(out_, row_); }

    void set_fixed_cells() {
        set_text(row_, cols_.entry, rec_.entry_text);
        set_number(row_, cols_.seqnum, rec_.sequence, 2);
        set_text(row_, cols_.ext, rec_.ext_text);
        set_number(row_, cols_.ref, rec_.link_count, 4);
        set_number(row_, cols_.size, rec_.size, 8);
        set_text(row_, cols_.data_type, {});
        set_text(row_, cols_.other, rec_.other_info);
        set_text(row_, cols_.md5, rec_.md5_present ? std::string_view(rec_.md5) : std::string_view());
        set_text(row_, cols_.sha1, rec_.sha1_present ? std::string_view(rec_.sha1) : std::string_view());
        set_text(row_, cols_.sha256, rec_.sha256_present ? std::string_view(rec_.sha256) : std::string_view());
        set_text(row_, cols_.streams, rec_.stream_info);
        set_text(row_, cols_.extra, cols_.extra_is_copy ? rec_.extracted_path : rec_.header_bytes);
    }

    void write_name_line(const macb_cell& cell, const cell_name& named, bool dos) {
        const name_item& n = rec_.names[named.name];
        macb_.clear();
        append_macb_text(cell, named, dos, macb_);
        set_text(row_, cols_.macb, macb_);
        set_text(row_, cols_.type, dos ? rec_.type_dos_text : rec_.type_text);
        set_number(row_, cols_.parent, ref_entry(n.parent_ref), 8);
        set_number(row_, cols_.parent_seq, ref_seq(n.parent_ref), 2);
        set_text(row_, cols_.name, rec_.name(n));
        set_text(row_, cols_.path, rec_.path(n));
        writer_.write_row(out_, row_);
    }

    void write_entry(const mft_entry_info& entry, std::u16string_view) override {
        fill_result_record(entry, context_, rec_);
        collect_names_and_times(entry, context_, rec_);
        set_fixed_cells();
        for (std::size_t i = 0; i < rec_.times.size(); ++i) {
            const macb_cell& cell = rec_.times[i];
            if (!rec_.in_window(cell.value)) continue;
            set_time(row_, cols_.when, cell.value, cols_.pair ? kind_date_time : kind_date);
            for (const cell_name& n : cell.long_names) write_name_line(cell, n, false);
            for (const cell_name& n : cell.dos_names) write_name_line(cell, n, true);
        }
    }

    const report_context context_;  // a copy: it names the settings, it owns nothing
    output_row row_;
    timeline_columns cols_;
    row_writer writer_;
    result_record rec_;
    std::string macb_;
};

}  // namespace

std::unique_ptr<layout_writer> make_timeline_writer(const report_context& context, std::ostream& out) {
    return std::make_unique<timeline_writer>(context, out);
}

}  // namespace skelvar
