#include "report/timeline_writer.h"

#include <array>
#include <cstring>
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
        sep_ = writer_.format().separator;
        pads_ = writer_.format().padding;
        plan_part(before_, 0, when_, when_ != 0 ? sep_ : std::string_view());
        plan_part(after_, macb_col_ + 1, n, "\n");
        number_cells_.resize(n);
        views_.resize(n);
        cell_texts_.resize(n);
        if (cols_.entry >= 0)
            entry_as_is_ = writer_.writes_as_is(row_.columns[static_cast<std::size_t>(cols_.entry)], "0123456789abcdefx");
        for (fixed_column& f : fixed_columns_) {
            const std::uint16_t kind = row_.columns[f.column].kind;
            if (kind == kind_u8 || kind == kind_u16 || kind == kind_u32 || kind == kind_u64)
                f.way = fixed_way::kept_number;  // a link count or a size mostly repeats the entry before
            else if (static_cast<int>(f.column) == cols_.entry && entry_as_is_)
                f.way = fixed_way::as_is;
        }
        for (unsigned d = writer_.format().time_format.fraction_digits; d < 7; ++d) shown_unit_ *= 10;
    }

private:
    // How a name's cell is found.
    enum class name_cell_kind : std::uint8_t { parent, parent_seq, type, name, path };
    struct glue_op {
        std::size_t column;
        bool separator;  // one goes before the cell
        bool name_cell;  // a cell of the name, which ends a glue text
    };
    // A name's line part (the cells before the time, or those after MACB): the name's cells with
    // the text around them, which is the same for all names of the entry (the other cells and the
    // separators), between them. A part is then put together from a handful of pieces.
    struct part_plan {
        static constexpr std::size_t most_cells = 8;
        std::vector<glue_op> ops;  // its columns in order
        std::string_view tail;  // after its last cell
        std::array<std::size_t, most_cells> cells{};  // the name's columns
        std::array<name_cell_kind, most_cells> kinds{};
        std::size_t count = 0;
        // Made for each entry, in fixed_: glue[k] goes before cells[k], glue[count] after the last.
        std::array<std::string_view, most_cells + 1> glue{};
        std::size_t glue_bytes = 0;
    };
    // A piece of a part; `block` when its storage has a short block's room past it.
    struct piece_ref {  // no initializers: an array of them is filled before it is read
        const char* data;
        std::size_t size;
        bool block;
    };

    void plan_part(part_plan& plan, std::size_t first, std::size_t last, std::string_view tail) {
        plan.tail = tail;
        glue_fixed_bytes_ += tail.size();
        for (std::size_t i = first; i < last; ++i) {
            plan.ops.push_back({i, i != 0, per_name_[i] != 0});
            if (i != 0) glue_fixed_bytes_ += sep_.size();
            if (!per_name_[i]) {
                fixed_columns_.push_back({i, fixed_way::text});
                continue;
            }
            const int col = static_cast<int>(i);
            plan.cells[plan.count] = i;
            plan.kinds[plan.count] = col == cols_.parent       ? name_cell_kind::parent
                                     : col == cols_.parent_seq ? name_cell_kind::parent_seq
                                     : col == cols_.type       ? name_cell_kind::type
                                     : col == cols_.path       ? name_cell_kind::path
                                                               : name_cell_kind::name;
            ++plan.count;  // at most the five columns per_name_ marks
        }
    }

    void write_header_line() override { writer_.write_header(out_, row_); }

    // Setters for the columns this layout registered, an index of -1 being one it left out: the
    // shared setters' checks of the index and kind cost more than the cell here.
    void cell_text_is(int column, std::string_view text) {
        if (column < 0) return;
        output_column& c = row_.columns[static_cast<std::size_t>(column)];
        c.kind = kind_text;
        c.text = text;
        ++c.stamp;
    }
    void cell_number_is(int column, std::uint64_t value, std::uint16_t byte_width) {
        if (column < 0) return;
        output_column& c = row_.columns[static_cast<std::size_t>(column)];
        c.kind = byte_width;
        c.number = value;
        ++c.stamp;
    }

    [[gnu::noinline]] void set_fixed_cells() {
        cell_text_is(cols_.entry, rec_.entry_text);
        cell_number_is(cols_.seqnum, rec_.sequence, 2);
        cell_text_is(cols_.ext, rec_.ext_text);
        cell_number_is(cols_.ref, rec_.link_count, 4);
        cell_number_is(cols_.size, rec_.size, 8);
        cell_text_is(cols_.data_type, {});
        cell_text_is(cols_.other, rec_.other_info);
        cell_text_is(cols_.md5, rec_.md5_present ? std::string_view(rec_.md5) : std::string_view());
        cell_text_is(cols_.sha1, rec_.sha1_present ? std::string_view(rec_.sha1) : std::string_view());
        cell_text_is(cols_.sha256, rec_.sha256_present ? std::string_view(rec_.sha256) : std::string_view());
        cell_text_is(cols_.streams, rec_.stream_info);
        cell_text_is(cols_.extra, cols_.extra_is_copy ? rec_.extracted_path : rec_.header_bytes);
        // The cells that are the same on every line of the entry are formatted once, into the
        // glue between the name's cells.
        std::size_t total = glue_fixed_bytes_;
        for (const fixed_column& f : fixed_columns_) {
            const std::size_t i = f.column;
            const output_column& c = row_.columns[i];
            const std::string_view t = f.way == fixed_way::kept_number ? number_cells_[i].text(writer_, c)
                                       : f.way == fixed_way::as_is     ? c.text
                                                                       : cell_text(i);
            views_[i] = t;
            total += t.size();
        }
        char* p = fixed_.start(total);
        for (part_plan* plan : {&before_, &after_}) {
            const char* const start = p;
            const char* from = p;
            std::size_t k = 0;
            for (const glue_op& op : plan->ops) {
                if (op.separator) p = put_separator(p);
                if (op.name_cell) {
                    plan->glue[k++] = std::string_view(from, static_cast<std::size_t>(p - from));
                    from = p;
                } else {
                    p = put_text(p, views_[op.column]);
                }
            }
            p = put_text(p, plan->tail);
            plan->glue[k] = std::string_view(from, static_cast<std::size_t>(p - from));
            plan->glue_bytes = static_cast<std::size_t>(p - start);
        }
        fixed_.end(p);
    }

    // Mostly a few bytes or none: those without a call into memcpy.
    static char* put_text(char* p, std::string_view s) {
        if (s.size() <= 2) {
            for (const char ch : s) *p++ = ch;
            return p;
        }
        std::memcpy(p, s.data(), s.size());
        return p + s.size();
    }

    char* put_separator(char* p) const {
        if (sep_.size() == 1) {
            *p = sep_[0];
            return p + 1;
        }
        std::memcpy(p, sep_.data(), sep_.size());
        return p + sep_.size();
    }

    // A text cell as the writer would put it: the text itself when it needs nothing done.
    std::string_view cell_text(std::size_t i) {
        const output_column& c = row_.columns[i];
        if (c.kind == kind_text && writer_.cell_text_as_is(c, c.text)) return c.text;
        return formatted_cell_text(i);
    }

    // The same for a cell that is padded or takes the general way (out of line: rarer, and
    // kept out of the name's parts' code).
    [[gnu::noinline]] std::string_view formatted_cell_text(std::size_t i) {
        const output_column& c = row_.columns[i];
        std::string& s = cell_texts_[i];
        std::size_t blanks = 0;
        if (c.kind == kind_text && pads_ && c.width > 0 && writer_.padded_text_as_is(c, c.text, blanks)) {
            if (blanks == 0) return c.text;
            s.assign(c.text);
            s.append(blanks, ' ');
            return s;
        }
        s.clear();
        writer_.append_cell(s, c);
        return s;
    }

    // A kept cell's text, short ones in storage that a block copy may read past.
    static piece_ref kept_piece(const built_text& t) { return {t.data(), t.size(), true}; }
    static void keep(built_text& t, std::string_view s) {
        char* p = t.start(s.size());
        std::memcpy(p, s.data(), s.size());
        t.end(p + s.size());
    }

    // What a name's cells show.
    struct name_values {
        std::uint64_t parent, parent_seq;
        std::string_view type, name, path;
    };

    // A name's cell; its column is set only when the cell is formatted again (the kept texts are
    // compared with the values themselves).
    piece_ref name_cell_text(std::size_t i, name_cell_kind kind, const name_values& v, bool dos) {
        switch (kind) {
            case name_cell_kind::parent:
            case name_cell_kind::parent_seq: {
                // A name's parent usually is the parent of the names before it.
                kept_number_text& kept = number_cells_[i];
                const bool parent = kind == name_cell_kind::parent;
                const std::uint64_t value = parent ? v.parent : v.parent_seq;
                if (!kept.holds(value)) {
                    cell_number_is(static_cast<int>(i), value, parent ? 8 : 2);
                    kept.text(writer_, row_.columns[i]);
                }
                const std::string_view t = kept.view();
                return {t.data(), t.size(), kept.in_block()};
            }
            case name_cell_kind::type: {
                // The type texts are a few static texts: their cells are kept by where they are.
                kept_type& k = type_cells_[dos];
                if (!k.filled || k.text.data() != v.type.data() || k.text.size() != v.type.size()) {
                    cell_text_is(static_cast<int>(i), v.type);
                    keep(k.cell, cell_text(i));
                    k.text = v.type;
                    k.filled = true;
                }
                return kept_piece(k.cell);
            }
            case name_cell_kind::path:
                // Names under one directory, in the entry and in the entries after it, share the
                // path text: its cell is formatted again only when the text changed.
                if (!path_kept_ || v.path != path_text_) {
                    cell_text_is(static_cast<int>(i), v.path);
                    keep(path_cell_, cell_text(i));
                    path_text_.assign(v.path);
                    path_kept_ = true;
                }
                return kept_piece(path_cell_);
            case name_cell_kind::name:
                break;
        }
        if (writer_.cell_text_as_is(row_.columns[i], v.name)) return {v.name.data(), v.name.size(), false};
        cell_text_is(static_cast<int>(i), v.name);
        const std::string_view t = cell_text(i);
        return {t.data(), t.size(), false};
    }

    // The name's cells with the entry's glue between them, after one room check.
    void build_part(built_text& out, const part_plan& plan, const name_values& v, bool dos) {
        piece_ref cells[part_plan::most_cells];
        const std::size_t count = plan.count;
        std::size_t total = plan.glue_bytes;
        for (std::size_t k = 0; k < count; ++k) {
            cells[k] = name_cell_text(plan.cells[k], plan.kinds[k], v, dos);
            total += cells[k].size;
        }
        // Glue lies in fixed_, which keeps a block's room past its end.
        const std::string_view* glue = plan.glue.data();
        char* p = out.start(total);
        for (std::size_t k = 0; k < count; ++k) {
            p = line_sink::put(p, glue[k], true);
            p = line_sink::put(p, {cells[k].data, cells[k].size}, cells[k].block);
        }
        p = line_sink::put(p, glue[count], true);
        out.end(p);
    }

    // A line is the name's cells before the time, the time and MACB cells, and the name's cells
    // after them: the two parts of each name are put together once per entry.
    struct name_parts {
        built_text before, after;
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
        const name_values v{ref_entry(n.parent_ref), ref_seq(n.parent_ref), dos ? rec_.type_dos_text : rec_.type_text,
                            rec_.name(n), rec_.path(n)};
        build_part(p.before, before_, v, dos);
        build_part(p.after, after_, v, dos);
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
        char* at = lines_.cursor(p.before.size() + when_cells_.size() + m.size() + p.after.size());
        at = line_sink::put(at, p.before);
        at = line_sink::put(at, when_cells_);
        at = line_sink::put(at, m);
        lines_.advance_to(line_sink::put(at, p.after));
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
    built_text fixed_;  // the entry's glue texts
    part_plan before_, after_;  // the parts before the time cells and after MACB
    // How a fixed cell's text is found: the same for every entry, so worked out once.
    enum class fixed_way : std::uint8_t { kept_number, as_is, text };
    struct fixed_column {
        std::size_t column;
        fixed_way way;
    };
    std::vector<fixed_column> fixed_columns_;  // the columns of both parts that are the entry's
    std::size_t glue_fixed_bytes_ = 0;  // the separators and tails of both parts
    // The entry number's text (hexadecimal digits or decimal ones) needs no care in this format.
    bool entry_as_is_ = false;
    std::vector<std::string_view> views_;  // by column: the fixed cells' texts while the glue is made
    std::vector<std::string> cell_texts_;  // by column: text cells formatted the general way
    std::string_view sep_;  // the separator, in writer_'s format
    bool pads_ = false;  // cells are padded to their widths
    struct kept_type {
        std::string_view text;  // static text: compared by where it is
        built_text cell;
        bool filled = false;
    };
    std::array<kept_type, 2> type_cells_;  // long and DOS names
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
    std::vector<kept_number_text> number_cells_;  // by column
    std::string path_text_;  // the last path
    built_text path_cell_;  // and its formatted cell
    bool path_kept_ = false;
};

}  // namespace

std::unique_ptr<layout_writer> make_timeline_writer(const report_context& context, std::ostream& out) {
    return std::make_unique<timeline_writer>(context, out);
}

}  // namespace skelvar
