#include "report/timeline_writer.h"

#include <string>
#include <utility>
#include <vector>

#include "report/line_buffer.h"
#include "report/line_sink.h"
#include "report/macb_text.h"
#include "report/output_row.h"
#include "report/result_record.h"
#include "report/row_writer.h"
#include "report/time_cells.h"
#include "report/timeline_columns.h"

namespace skelvar {

namespace {

class timeline_writer final : public layout_writer {
public:
    timeline_writer(const report_context& context, std::ostream& out)
        : layout_writer(out),
          context_(context),
          cols_(build_timeline_columns(context.options, row_)),
          writer_(make_row_format(context.options, context.options.csv)),
          when_writer_(writer_.format(), row_, static_cast<std::size_t>(cols_.when), static_cast<std::size_t>(cols_.macb)),
          lines_(out) {
        const auto n = row_.columns.size();
        when_ = static_cast<std::size_t>(cols_.when);
        macb_col_ = static_cast<std::size_t>(cols_.macb);
        per_name_.assign(n, 0);
        for (int c : {cols_.type, cols_.parent, cols_.parent_seq, cols_.name, cols_.path})
            if (c >= 0) per_name_[static_cast<std::size_t>(c)] = 1;
        fixed_runs_.resize(n);
        for (std::size_t i = 0; i < n;) {
            if (!fixed_cell(i)) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < n && fixed_cell(j)) ++j;
            fixed_runs_[i].end = j;
            run_starts_.push_back(i);
            i = j;
        }
        number_cells_.resize(n);
        for (unsigned d = writer_.format().time_format.fraction_digits; d < 7; ++d) shown_unit_ *= 10;
    }

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
        // The cells that are the same on every line of the entry, formatted once; neighbours
        // with their separators in one run, which a name's lines then copy in one piece.
        fixed_.clear();
        const std::string& sep = writer_.format().separator;
        for (const std::size_t i : run_starts_) {
            fixed_run& r = fixed_runs_[i];
            const std::size_t from = fixed_.size();
            for (std::size_t j = i; j < r.end; ++j) {
                if (j != i) fixed_ += sep;
                writer_.append_cell(fixed_, row_.columns[j]);
            }
            r.from = from;
            r.length = fixed_.size() - from;
        }
    }

    bool fixed_cell(std::size_t i) const { return !per_name_[i] && (i < when_ || i > macb_col_); }

    // Cells [first, last) with a separator before each one but the line's first.
    void append_cells(std::string& out, std::size_t first, std::size_t last) {
        const std::string& sep = writer_.format().separator;
        for (std::size_t i = first; i < last; ++i) {
            if (i != 0) out += sep;
            if (static_cast<int>(i) == cols_.path) {
                // Names under one directory, in the entry and in the entries after it, share the
                // path text: its cell is formatted again only when the text changed.
                const std::string_view path = row_.columns[i].text;
                if (!path_kept_ || path != path_text_) {
                    path_cell_.clear();
                    writer_.append_cell(path_cell_, row_.columns[i]);
                    path_text_.assign(path);
                    path_kept_ = true;
                }
                out += path_cell_;
            } else if (per_name_[i] && row_.columns[i].kind != kind_text) {
                // A name's parent usually is the parent of the names before it.
                out += number_cells_[i].text(writer_, row_.columns[i]);
            } else if (per_name_[i]) {
                writer_.append_cell(out, row_.columns[i]);
            } else {
                // Runs end at the time cells, so a run never reaches past `last`.
                const fixed_run& r = fixed_runs_[i];
                out.append(fixed_, r.from, r.length);
                i = r.end - 1;
            }
        }
    }

    // A line is the name's cells before the time, the time and MACB cells, and the name's cells
    // after them: the two parts of each name are put together once per entry.
    struct name_parts {
        kept_text before;
        std::string after;
        std::uint64_t made_for = 0;  // the entry (a count of entries written) they were made for
    };

    const name_parts& parts_of(std::uint32_t index, bool dos) {
        const std::size_t slot = 2 * std::size_t{index} + dos;
        if (slot < parts_.size() && parts_[slot].made_for == entries_) return parts_[slot];
        return make_parts(index, dos);
    }

    const name_parts& make_parts(std::uint32_t index, bool dos) {
        const std::size_t slot = 2 * std::size_t{index} + dos;
        if (parts_.size() <= slot) parts_.resize(slot + 1);
        name_parts& p = parts_[slot];
        const name_item& n = rec_.names[index];
        set_text(row_, cols_.type, dos ? rec_.type_dos_text : rec_.type_text);
        set_number(row_, cols_.parent, ref_entry(n.parent_ref), 8);
        set_number(row_, cols_.parent_seq, ref_seq(n.parent_ref), 2);
        set_text(row_, cols_.name, rec_.name(n));
        set_text(row_, cols_.path, rec_.path(n));
        p.before.text.clear();
        append_cells(p.before.text, 0, when_);
        if (when_ != 0) p.before.text += writer_.format().separator;
        p.before.settle();
        p.after.clear();
        append_cells(p.after, macb_col_ + 1, row_.columns.size());
        p.after += '\n';
        p.made_for = entries_;
        return p;
    }

    // The MACB cell's text follows from which letters are set: its formatted cells are kept
    // by that key, each made once per run.
    const kept_text& macb_cell_of(unsigned si_key, const macb_cell& cell, const cell_name& named, bool dos) {
        const unsigned key = si_key | unsigned{named.bits} << 5 | unsigned{named.any} << 9 | unsigned{dos} << 10;
        std::int16_t& at = macb_at_[key];
        if (at < 0) {
            macb_.clear();
            append_macb_text(cell, named, dos, macb_);
            set_text(row_, cols_.macb, macb_);
            kept_text& m = macb_cells_.emplace_back();
            writer_.append_cell(m.text, row_.columns[macb_col_]);
            m.settle();
            at = static_cast<std::int16_t>(macb_cells_.size() - 1);
        }
        return macb_cells_[static_cast<std::size_t>(at)];
    }

    void write_name_line(unsigned si_key, const macb_cell& cell, const cell_name& named, bool dos) {
        const name_parts& p = parts_of(named.name, dos);
        const kept_text& m = macb_cell_of(si_key, cell, named, dos);
        lines_.make_room(p.before.size() + when_cells_.size() + m.size() + p.after.size());
        lines_.append(p.before);
        lines_.append(when_cells_);
        lines_.append(m);
        lines_.append(p.after);
    }

    void write_entry(const mft_entry_info& entry, std::u16string_view) override {
        fill_result_record(entry, context_, rec_);
        collect_names_and_times(entry, context_, rec_);
        set_fixed_cells();
        // Parts made for an earlier entry go stale by this count, not by a pass over every slot,
        // which one entry with many names would leave long for all entries after it.
        ++entries_;
        for (std::size_t i = 0; i < rec_.times.size(); ++i) {
            const macb_cell& cell = rec_.times[i];
            if (!rec_.in_window(cell.value)) continue;
            // Times that show the same text (they differ below the shown fraction) share the cells.
            // (Milliseconds, the default, by a constant divisor: no division instruction.)
            const std::uint64_t shown = shown_unit_ == 10'000 ? cell.value / 10'000 : cell.value / shown_unit_;
            if (!when_filled_ || shown != when_shown_) {
                if (!when_writer_.put(cell.value, when_cells_)) {
                    set_time(row_, cols_.when, cell.value, cols_.pair ? kind_date_time : kind_date);
                    when_cells_.text.clear();
                    writer_.append_time_cells(when_cells_.text, row_, when_, macb_col_);
                    when_cells_.text += writer_.format().separator;
                    when_cells_.settle();
                }
                when_shown_ = shown;
                when_filled_ = true;
            }
            const unsigned si_key = unsigned{cell.si_bits} | unsigned{cell.any_si} << 4;
            for (const cell_name& n : cell.long_names) write_name_line(si_key, cell, n, false);
            for (const cell_name& n : cell.dos_names) write_name_line(si_key, cell, n, true);
        }
        lines_.finish();
    }

    const report_context context_;  // a copy: it names the settings, it owns nothing
    output_row row_;
    timeline_columns cols_;
    row_writer writer_;
    time_cells when_writer_;  // the time cells of most times, without the row writer
    std::size_t when_ = 0, macb_col_ = 0;  // the time cells are [when_, macb_col_), then MACB
    std::vector<std::uint8_t> per_name_;  // columns whose cell changes with the name (not vector<bool>: read per cell)
    result_record rec_;
    std::string fixed_;
    // Each run of fixed cells in fixed_, by the column it starts at.
    struct fixed_run {
        std::size_t from = 0, length = 0, end = 0;
    };
    std::vector<fixed_run> fixed_runs_;
    std::vector<std::size_t> run_starts_;  // the columns the runs start at, found once
    std::uint64_t entries_ = 0;
    std::vector<name_parts> parts_;                                  // by name index and kind (long, DOS)
    std::string macb_;
    when_text when_cells_;  // the time cells of the lines being written
    std::uint64_t shown_unit_ = 1;  // FILETIME ticks per last shown digit of the time
    std::uint64_t when_shown_ = 0;  // the time when_cells_ shows, in shown_unit_
    bool when_filled_ = false;
    // The MACB cells made so far (a few dozen letter combinations at most), by their key.
    static constexpr std::size_t macb_keys = 1 << 11;
    std::vector<std::int16_t> macb_at_ = std::vector<std::int16_t>(macb_keys, -1);
    std::vector<kept_text> macb_cells_;
    line_sink lines_;  // where the entry's lines go
    std::vector<kept_number_cell> number_cells_;  // by column
    std::string path_text_, path_cell_;  // the last path and its formatted cell
    bool path_kept_ = false;
};

}  // namespace

std::unique_ptr<layout_writer> make_timeline_writer(const report_context& context, std::ostream& out) {
    return std::make_unique<timeline_writer>(context, out);
}

}  // namespace skelvar
