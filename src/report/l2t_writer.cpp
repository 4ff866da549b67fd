#include "report/l2t_writer.h"

#include <string>
#include <vector>

#include "report/l2t_events.h"
#include "report/number_text.h"
#include "report/other_info.h"
#include "report/output_row.h"
#include "report/result_record.h"
#include "report/row_writer.h"
#include "support/program_name.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

struct l2t_columns {
    int when = -1, zone = -1, macb = -1, source = -1, sourcetype = -1, type = -1, user = -1, host = -1;
    int short_text = -1, desc = -1, version = -1, filename = -1, inode = -1, notes = -1, format = -1, extra = -1;
    // extended fields
    int ref_count = -1, ext = -1, size = -1, seqnum = -1, parent = -1, parent_seq = -1, clusters = -1, header = -1;
    bool pair = false;
};

l2t_columns build_l2t_columns(const report_options& opt, output_row& row) {
    row.columns.clear();
    l2t_columns c;
    const std::uint32_t text = opt.quoted_text ? col_quoted : 0;
    c.pair = opt.pair_datetime;
    if (c.pair) {
        c.when = row.add(kind_date_time, 0, 0, "date/time");
    } else {
        c.when = row.add(kind_date, 0, 0, "date");
        row.add(kind_time, 0, 0, "time");
    }
    c.zone = row.add(kind_text, text, 0, "timezone");
    c.macb = row.add(kind_text, text, 0, "MACB");
    c.source = row.add(kind_text, text, 0, "source");
    c.sourcetype = row.add(kind_text, text, 0, "sourcetype");
    c.type = row.add(kind_text, text, 0, "type");
    c.user = row.add(kind_text, text, 0, "user");
    c.host = row.add(kind_text, text, 0, "host");
    c.short_text = row.add(kind_text, text, 0, "short");
    c.desc = row.add(kind_text, text, 0, "desc");
    c.version = row.add(kind_u32, col_decimal, 0, "version");
    c.filename = row.add(kind_text, text, 0, "filename");
    c.inode = row.add(kind_u64, col_decimal, 0, "inode");
    c.notes = row.add(kind_text, text, 0, "notes");
    c.format = row.add(kind_text, text, 0, "format");
    c.extra = row.add(kind_text, text, 0, "extra");
    if (opt.l2t_extended) {
        auto number = [&](std::uint16_t kind, std::uint8_t digits, const char* name) {
            int i = row.add(kind, 0, 0, name);
            row.columns[static_cast<std::size_t>(i)].hex_digits = digits;
            return i;
        };
        c.ref_count = number(kind_u32, 4, "ref count");
        c.ext = row.add(kind_text, text, 0, "extension");
        c.size = number(kind_u64, 6, "size data");
        c.seqnum = number(kind_u16, 4, "inode seqnum");
        c.parent = number(kind_u64, 8, "parent inode");
        c.parent_seq = number(kind_u16, 4, "parent seqnum");
        c.clusters = row.add(kind_text, text, 0, "clusters");
        c.header = row.add(kind_text, text, 0, "header info");
    }
    return c;
}

class l2t_writer final : public layout_writer {
public:
    l2t_writer(const report_context& c, std::ostream& o)
        : layout_writer(o), context(c), opt(c.options), writer(make_row_format(opt, true)) {
        cols = build_l2t_columns(opt, row);
        format_text = opt.program_base_name.empty() ? std::string(program_name) : opt.program_base_name;
        format_text += " (brantel)";
        set_text(row, cols.zone, "UTC");
        set_text(row, cols.source, "FILE");
        set_text(row, cols.user, opt.username);
        set_text(row, cols.host, opt.hostname);
        set_number(row, cols.version, 2, 4);
        set_text(row, cols.format, format_text);
    }

private:
    void write_header_line() override { writer.write_header(out_, row); }

    void build_entry_texts(const mft_entry_info& entry) {
        // The source label changes only between walks.
        if (!sourcetype_known || entry.source_name != source_label) {
            source_label = entry.source_name;
            sourcetype.clear();
            uni::append_utf8(source_label, sourcetype);
            if (sourcetype.empty()) sourcetype = "NTFS$MFT";
            sourcetype_known = true;
        }

        type = entry.from_unallocated ? "deleted-unalloc" : entry.in_use() ? "allocated" : "deleted";
        type += entry.is_directory() ? " (dir)" : " (file)";

        notes.clear();
        append_name_spread(count_name_spread(entry), notes);
        bool any_target = false;
        for (const auto& [key, rp] : entry.reparse_points) {
            (void)key;
            if (rp.target.empty()) continue;
            if (any_target) {
                notes += "; ";
            } else {
                next_item(notes);
                notes += "symlink: [";
                any_target = true;
            }
            uni::append_utf8(rp.target, notes);
        }
        if (any_target) notes += ']';
        if (entry.is_extension) {
            next_item(notes);
            notes += "ref inode [";
            append_number(notes, ref_entry(entry.base_ref), opt.hex_numbers, 8);
            notes += ']';
        }
        if (opt.filerecord_offset) {
            next_item(notes);
            notes += "filerecord [";
            append_number(notes, entry.source_offset, opt.hex_numbers, 1);
            notes += ']';
        }
        if (opt.zone_info) {
            for (const auto& z : entry.zone_texts) {
                next_item(notes);
                append_zone_info(z, notes);
            }
        }
        if (!entry.time_note.empty()) {
            next_item(notes);
            notes += entry.time_note;
        }
        if (entry.time_flags) {
            next_item(notes);
            append_time_flags(entry.time_flags, notes);
        }

        extra.clear();
        for (const std::string& m : entry.marks.matched) {
            next_item(extra);
            extra += m;
        }
    }

    // The name SI events are shown under: the first long name, else the first name.
    std::uint32_t record_name() const {
        for (std::uint32_t i = 0; i < rec.names.size(); ++i)
            if (!rec.names[i].dos) return i;
        return 0;
    }

    void full_path(const name_item& n, std::string& s) const {
        std::string_view dir = rec.path(n);
        // The stand-in "<no path>" is no directory to prefix.
        if (!dir.empty() && dir.back() == '\\') s += dir;
        s += rec.name(n);
    }

    void write_event(const l2t_event& ev) {
        const name_item& n = rec.names[ev.name];
        set_time(row, cols.when, ev.value, cols.pair ? kind_date_time : kind_date);
        set_text(row, cols.macb, std::string_view(ev.macb.data(), 4));
        const char* label = event_label(ev.source);

        // Events of one name follow each other often: its cells stay formatted.
        const bool same_name = last_name == ev.name;
        if (!same_name) {
            filename.clear();
            full_path(n, filename);
            set_text(row, cols.filename, filename);
            set_number(row, cols.parent, ref_entry(n.parent_ref), 8);
            set_number(row, cols.parent_seq, ref_seq(n.parent_ref), 2);
        }
        if (!same_name || last_source != ev.source) {
            short_text = label;
            short_text += ' ';
            short_text += rec.name(n);
            set_text(row, cols.short_text, short_text);
        }
        last_name = ev.name;
        last_source = ev.source;

        desc = label;
        append_bracketed_macb(ev.macb, desc);
        desc += ' ';
        desc += filename;
        set_text(row, cols.desc, desc);
        writer.write_row(out_, row);
    }

    void write_entry(const mft_entry_info& entry, std::u16string_view) override {
        fill_result_record(entry, context, rec, opt.l2t_extended ? part_stream_info : 0);
        collect_names_and_times(entry, context, rec, false);
        if (rec.names.empty()) return;  // every name's directory unreadable: no line can say where it is
        build_entry_texts(entry);

        set_text(row, cols.sourcetype, sourcetype);
        set_text(row, cols.type, type);
        set_number(row, cols.inode, entry.entry_number, 8);
        set_text(row, cols.notes, notes);
        set_text(row, cols.extra, extra);
        set_number(row, cols.ref_count, rec.link_count, 4);
        set_text(row, cols.ext, rec.ext_text);
        set_number(row, cols.size, rec.size, 8);
        set_number(row, cols.seqnum, rec.sequence, 2);
        set_text(row, cols.clusters, rec.stream_info);
        header.clear();
        if (opt.header_wanted()) {
            // Always the bytes, each followed by a space, whatever the strings mode says.
            for (const auto& [key, stream] : entry.catalogue) {
                (void)key;
                if (!stream.is_data || stream.is_ads || !stream.header_sampled) continue;
                for (std::uint8_t b : stream.header_sample) {
                    append_hex(header, b, 2);
                    header += ' ';
                }
            }
        }
        set_text(row, cols.header, header);

        gather_l2t_events(rec, entry.standard(), record_name(), events);
        last_name = no_name;
        for (const l2t_event& ev : events)
            if (rec.in_window(ev.value)) write_event(ev);
    }

    const report_context context;  // a copy: it names the settings, it owns nothing
    const report_options& opt;
    output_row row;
    l2t_columns cols;
    row_writer writer;
    result_record rec;
    std::vector<l2t_event> events;
    static constexpr std::uint32_t no_name = ~std::uint32_t{0};
    std::uint32_t last_name = no_name;
    time_source last_source = src_si;
    std::u16string source_label;
    bool sourcetype_known = false;
    std::string format_text, sourcetype, type, notes, extra, short_text, desc, filename, header;
};

}  // namespace

std::unique_ptr<layout_writer> make_l2t_writer(const report_context& context, std::ostream& out) {
    return std::make_unique<l2t_writer>(context, out);
}

}  // namespace skelvar
