#include "report/timeline_columns.h"

#include "report/report_options.h"

namespace skelvar {

timeline_columns build_timeline_columns(const report_options& opt, output_row& row) {
    row.columns.clear();
    timeline_columns t;
    const std::uint32_t text = opt.quoted_text ? col_quoted : 0;
    const bool extra_actions = opt.include_header || opt.find_strings || opt.cluster_info;
    const int date_width = static_cast<int>(opt.date_pattern.size());
    const int time_width = static_cast<int>(opt.time_pattern.size());

    t.entry = row.add(kind_text, text, 10, "mft entry");
    t.seqnum = row.add(kind_u16, col_decimal, 10, "mft seqnum");
    t.parent = row.add(kind_u64, 0, 10, "parent mft");
    t.parent_seq = row.add(kind_u16, col_decimal, 10, "par seqnum");
    t.type = row.add(kind_text, text, 7, "type");
    t.ext = row.add(kind_text, text, 9, "ext");
    t.ref = row.add(kind_u32, col_decimal, 3, "ref");
    if (extra_actions) t.size = row.add(kind_u64, 0, 10, "size data");
    t.pair = opt.pair_datetime;
    if (t.pair) {
        t.when = row.add(kind_date_time, 0, date_width + time_width + 1, "date/time-utc");
    } else {
        t.when = row.add(kind_date, 0, date_width, "date");
        row.add(kind_time, 0, time_width, "time-utc");
    }
    t.macb = row.add(kind_text, text, 33, "MACB");
    if (extra_actions) t.data_type = row.add(kind_text, text, 14, "data type");
    t.other = row.add(kind_text, text, 14, "other info");
    if (opt.md5) t.md5 = row.add(kind_text, text, 32, "MD5 hash");
    if (opt.sha1) t.sha1 = row.add(kind_text, text, 40, "SHA1 hash");
    if (opt.sha256) t.sha256 = row.add(kind_text, text, 64, "SHA256 hash");
    t.name = row.add(kind_text, text, 15, "name");
    t.path = row.add(kind_text, text, 60, "path");
    if (opt.cluster_info && !opt.include_header && !opt.find_strings)
        t.streams = row.add(kind_text, text, 80, "clusters/relevant data");
    else
        t.streams = row.add(kind_text, text, 100, "various data types");
    if (opt.files_copied) {
        t.extra = row.add(kind_text, text, 0, "extracted path/file");
        t.extra_is_copy = true;
    } else if (opt.include_header || opt.find_strings) {
        t.extra = row.add(kind_text, text, 0, "header info");
    }
    if (opt.no_padding) row.clear_widths();
    return t;
}

}  // namespace skelvar
