#include "report/timeline_columns.h"

#include "report/report_options.h"

namespace skelvar {

timeline_columns build_timeline_columns(const report_options& ctx, output_row& row) {
    row.columns.clear();
    timeline_columns t;
    const std::uint32_t text = ctx.quoted_text ? col_quoted : 0;
    const bool extra_actions = ctx.include_header || ctx.find_strings || ctx.cluster_info;
    const int date_width = static_cast<int>(ctx.date_pattern.size());
    const int time_width = static_cast<int>(ctx.time_pattern.size());

    t.entry = row.add(kind_text, text, 10, "mft entry");
    t.seqnum = row.add(kind_u16, col_decimal, 10, "mft seqnum");
    t.parent = row.add(kind_u64, 0, 10, "parent mft");
    t.parent_seq = row.add(kind_u16, col_decimal, 10, "par seqnum");
    t.type = row.add(kind_text, text, 7, "type");
    t.ext = row.add(kind_text, text, 9, "ext");
    t.ref = row.add(kind_u32, col_decimal, 3, "ref");
    if (extra_actions) t.size = row.add(kind_u64, 0, 10, "size data");
    t.pair = ctx.pair_datetime;
    if (t.pair) {
        t.when = row.add(kind_date_time, 0, date_width + time_width + 1, "date/time-utc");
    } else {
        t.when = row.add(kind_date, 0, date_width, "date");
        row.add(kind_time, 0, time_width, "time-utc");
    }
    t.macb = row.add(kind_text, text, 33, "MACB");
    if (extra_actions) t.data_type = row.add(kind_text, text, 14, "data type");
    t.other = row.add(kind_text, text, 14, "other info");
    if (ctx.md5) t.md5 = row.add(kind_text, text, 32, "MD5 hash");
    if (ctx.sha1) t.sha1 = row.add(kind_text, text, 40, "SHA1 hash");
    if (ctx.sha256) t.sha256 = row.add(kind_text, text, 64, "SHA256 hash");
    t.name = row.add(kind_text, text, 15, "name");
    t.path = row.add(kind_text, text, 60, "path");
    if (ctx.cluster_info && !ctx.include_header && !ctx.find_strings)
        t.streams = row.add(kind_text, text, 80, "clusters/relevant data");
    else
        t.streams = row.add(kind_text, text, 100, "various data types");
    if (ctx.files_copied) {
        t.extra = row.add(kind_text, text, 0, "extracted path/file");
        t.extra_is_copy = true;
    } else if (ctx.include_header || ctx.find_strings) {
        t.extra = row.add(kind_text, text, 0, "header info");
    }
    if (ctx.no_padding) row.clear_widths();
    return t;
}

}  // namespace skelvar
