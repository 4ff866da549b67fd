#include "report/per_path_writer.h"

#include <array>
#include <string>

#include "report/number_text.h"
#include "report/other_info.h"
#include "report/output_row.h"
#include "report/result_record.h"
#include "report/row_writer.h"
#include "report/zone_info.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

// Four time columns (or column pairs) in the order modify, access, MFT change, create.

struct per_path_columns {
    int entry = -1, seqnum = -1, parent = -1, parent_seq = -1;
    time_group si{-1, -1, -1, -1}, fn{-1, -1, -1, -1}, dos{-1, -1, -1, -1};
    int type = -1, size = -1, offset = -1, name = -1, path = -1, symlink = -1, object_id = -1, ads = -1;
    int zone = -1, warning = -1, host = -1, comment = -1, copy = -1, stats = -1, header = -1;
    bool pair = false;
};

time_group add_times(output_row& row, const report_options& opt, const char* const (&split)[4],
                     const char* const (&paired)[4]) {
    static constexpr const char* time_names[4] = {"mtime-UTC", "atime-UTC", "ctime-UTC", "btime-UTC"};
    const int date_width = static_cast<int>(opt.date_pattern.size());
    const int time_width = static_cast<int>(opt.time_pattern.size());
    time_group g;
    for (std::size_t i = 0; i < 4; ++i) {
        if (opt.pair_datetime) {
            g[i] = row.add(kind_date_time, 0, date_width + time_width + 1, paired[i]);
        } else {
            g[i] = row.add(kind_date, 0, date_width, split[i]);
            row.add(kind_time, 0, time_width, time_names[i]);
        }
    }
    return g;
}

per_path_columns build_per_path_columns(const report_options& opt, output_row& row) {
    row.columns.clear();
    per_path_columns c;
    const std::uint32_t text = opt.quoted_text ? col_quoted : 0;
    c.pair = opt.pair_datetime;
    c.entry = row.add(kind_text, text, 10, "MFT entry");
    c.seqnum = row.add(kind_u16, col_decimal, 10, "mft seqnum");
    c.parent = row.add(kind_u64, 0, 10, "parent MFT");
    c.parent_seq = row.add(kind_u16, col_decimal, 10, "par seqnum");
    c.si = add_times(row, opt, {"SI mdate", "SI adate", "SI cdate", "SI bdate"},
                     {"SI modify-UTC", "SI access-UTC", "SI MFTchanged-UTC", "SI created-UTC"});
    c.fn = add_times(row, opt, {"FN mdate", "FN adate", "FN cdate", "FN bdate"},
                     {"FN modify-UTC", "FN access-UTC", "FN MFTchanged-UTC", "FN created-UTC"});
    c.type = row.add(kind_text, text, 7, "type");
    c.size = row.add(kind_u64, 0, 10, "size");
    if (opt.filerecord_offset) c.offset = row.add(kind_u64, 0, 10, "MFT Offset");
    c.name = row.add(kind_text, text, 15, "name");
    c.path = row.add(kind_text, text, 60, "path");
    c.symlink = row.add(kind_text, text, 0, "sym link");
    c.object_id = row.add(kind_text, text, 0, "object ID");
    c.ads = row.add(kind_text, text, 0, "ADS metadata");
    if (opt.zone_info) c.zone = row.add(kind_text, text, 0, "ZoneInfo");
    c.warning = row.add(kind_text, text, 0, "Time warning");
    if (!opt.hostname.empty()) c.host = row.add(kind_text, text, 0, "hostname");
    if (!opt.hide_dos_fntimes)
        c.dos = add_times(row, opt, {"8.3 mdate", "8.3 adate", "8.3 cdate", "8.3 bdate"},
                          {"FN8.3 modify-UTC", "FN8.3 access-UTC", "FN8.3 MFTchanged-UTC", "FN8.3 created-UTC"});
    c.comment = row.add(kind_text, text, 0, "comment");
    if (opt.files_copied) c.copy = row.add(kind_text, text, 0, "extracted file path");
    c.stats = row.add(kind_text, text, 0, "summary stats");
    if (opt.header_wanted()) c.header = row.add(kind_text, text, 0, "header data");
    if (opt.no_padding) row.clear_widths();
    return c;
}

class per_path_writer final : public layout_writer {
public:
    per_path_writer(const report_context& c, std::ostream& o)
        : layout_writer(o),
          context(c),
          opt(c.options),
          size_only(!c.options.cluster_info),
          cols(build_per_path_columns(opt, row)),
          writer(make_row_format(opt, true)) {
        set_text(row, cols.host, opt.hostname);
    }

private:
    void write_header_line() override { writer.write_header(out_, row); }

    void set_group(const time_group& g, std::uint64_t m, std::uint64_t a, std::uint64_t c, std::uint64_t b) {
        set_time_group(row, g, {m, a, c, b}, cols.pair);
    }

    void set_group(const time_group& g, const file_name_info* fn) {
        if (fn) set_group(g, fn->modified, fn->accessed, fn->mft_changed, fn->created);
        else set_group(g, 0, 0, 0, 0);
    }

    void build_entry_texts(const mft_entry_info& entry) {
        symlink.clear();
        for (const auto& [key, rp] : entry.reparse_points) {
            (void)key;
            if (rp.target.empty()) continue;
            symlink += symlink.empty() ? "symlink: [" : "; ";
            uni::append_utf8(rp.target, symlink);
        }
        if (!symlink.empty()) symlink += ']';

        object_id.clear();
        if (!entry.object_ids.empty()) object_id = entry.object_ids.begin()->second.text;

        ads.clear();
        if (size_only) {
            for (const auto& [key, row_] : entry.catalogue) {
                (void)key;
                if (!row_.is_data || row_.name.empty()) continue;
                next_item(ads);
                uni::append_utf8(row_.name, ads);
                ads += " [sz:";
                append_number(ads, row_.stream_size(), opt.hex_numbers, 1);
                ads += ']';
            }
        } else {
            ads = rec.stream_info;
        }

        zone.clear();
        if (opt.zone_info) {
            for (const auto& z : entry.zone_texts) {
                next_item(zone);
                append_zone_info_text(parse_zone_identifier(z), zone_layout::per_path, zone);
            }
        }

        comment.clear();
        append_name_spread(count_name_spread(entry), comment);
        if (entry.is_extension) {
            next_item(comment);
            comment += "refinode: [";
            append_number(comment, ref_entry(entry.base_ref), opt.hex_numbers, 8);
            comment += ']';
        }
        if (opt.owner_sid && !entry.owner_sid.empty()) {
            next_item(comment);
            comment += "[owner_sid: ";
            comment += entry.owner_sid;
            comment += ']';
        }

        std::size_t streams = 0;
        for (const auto& [key, row_] : entry.catalogue) {
            (void)key;
            streams += row_.is_data;
        }
        stats = "names [";
        append_dec(stats, entry.file_names.size());
        stats += "]; streams [";
        append_dec(stats, streams);
        stats += "]; attribs [";
        append_dec(stats, entry.attribute_count);
        stats += ']';
    }

    // The DOS name that shares a long name's directory, folded into the long name's row.
    const name_item* dos_partner(const name_item& n) const {
        for (const name_item& d : rec.names)
            if (d.dos && d.parent_ref == n.parent_ref) return &d;
        return nullptr;
    }

    bool has_long_partner(const name_item& d) const {
        for (const name_item& n : rec.names)
            if (!n.dos && n.parent_ref == d.parent_ref) return true;
        return false;
    }

    void write_name_line(const name_item& n, const name_item* dos, std::u16string_view stream_name) {
        line_name.clear();
        line_name += rec.name(n);
        if (!stream_name.empty()) {
            line_name += ':';
            uni::append_utf8(stream_name, line_name);
        }
        const bool own_dos = n.dos;  // a DOS name without a long name beside it
        set_number(row, cols.parent, ref_entry(n.parent_ref), 8);
        set_number(row, cols.parent_seq, ref_seq(n.parent_ref), 2);
        set_group(cols.fn, own_dos ? nullptr : n.fn);
        set_group(cols.dos, own_dos ? n.fn : dos ? dos->fn : nullptr);
        set_text(row, cols.name, line_name);
        set_text(row, cols.path, rec.path(n));
        line_comment = comment;
        if (dos) {
            next_item(line_comment);
            line_comment += "DOS_name [";
            line_comment += rec.name(*dos);
            line_comment += ']';
        }
        set_text(row, cols.comment, line_comment);
        writer.write_row(out_, row);
    }

    void write_entry(const mft_entry_info& entry, std::u16string_view stream_name) override {
        fill_result_record(entry, context, rec, size_only ? 0 : part_stream_info);
        collect_names_and_times(entry, context, rec, false);
        build_entry_texts(entry);

        set_text(row, cols.entry, rec.entry_text);
        set_number(row, cols.seqnum, rec.sequence, 2);
        const standard_info* si = entry.standard();
        if (si) set_group(cols.si, si->modified, si->accessed, si->mft_changed, si->created);
        else set_group(cols.si, 0, 0, 0, 0);
        set_text(row, cols.type, rec.type_text);
        set_number(row, cols.size, rec.size, 8);
        set_number(row, cols.offset, entry.source_offset, 8);
        set_text(row, cols.symlink, symlink);
        set_text(row, cols.object_id, object_id);
        set_text(row, cols.ads, ads);
        set_text(row, cols.zone, zone);
        warning = entry.time_note;
        if (entry.time_flags) {
            next_item(warning);
            append_time_flags(entry.time_flags, warning);
        }
        set_text(row, cols.warning, warning);
        set_text(row, cols.copy, rec.extracted_path);
        set_text(row, cols.stats, stats);
        set_text(row, cols.header, rec.header_bytes);

        for (const name_item& n : rec.names) {
            if (n.dos && has_long_partner(n)) continue;
            write_name_line(n, n.dos ? nullptr : dos_partner(n), stream_name);
        }
    }

    const report_context context;  // a copy: it names the settings, it owns nothing
    const report_options& opt;
    const bool size_only;
    output_row row;
    per_path_columns cols;
    row_writer writer;
    result_record rec;
    std::string symlink, object_id, ads, zone, warning, comment, stats, line_name, line_comment;
};

}  // namespace

std::unique_ptr<layout_writer> make_per_path_writer(const report_context& context, std::ostream& out) {
    return std::make_unique<per_path_writer>(context, out);
}

}  // namespace skelvar
