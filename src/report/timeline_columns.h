// The column set of the timeline and -csv layouts, chosen from the settings.
#pragma once

#include "report/output_row.h"

namespace skelvar {

struct report_options;

// Index of every column in the registry; -1 for a column that is absent.
struct timeline_columns {
    int entry = -1, seqnum = -1, parent = -1, parent_seq = -1, type = -1, ext = -1, ref = -1;
    int size = -1, when = -1, macb = -1, data_type = -1, other = -1;
    int md5 = -1, sha1 = -1, sha256 = -1, name = -1, path = -1, streams = -1, extra = -1;
    bool pair = false;          // `when` is one date/time cell, else date + time columns
    bool extra_is_copy = false; // `extra` holds the extracted path, else the header bytes
};

// Registers the columns in `row` (emptied first); widths are 0 when padding is off.
timeline_columns build_timeline_columns(const report_options& options, output_row& row);

}  // namespace skelvar
