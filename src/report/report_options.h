// What the options say about the results: the layout, the cells, the extra
// columns and the per-entry actions. The generic output settings of the run.
#pragma once

#include <string>

#include "report/date_time.h"

namespace skelvar {

struct report_options {
    // Layout switches; `choose_layout` takes the first that applies.
    bool record_dump = false;  // -find_mft
    bool hexdump = false;      // the record dump adds hex dumps
    bool csv = false;
    bool csvl2t = false;
    bool bodyfile = false;
    bool hash_layout = false;  // -hashfile
    bool csvperpath = false;   // also the report of -action_copy_files
    bool filepath_only = false;
    bool jsonl = false;         // JSON lines, one object per event
    bool l2t_extended = false;  // -csvl2t writes the extended fields

    // Separators and cells.
    std::string separator = " | ";
    char sep_char = '|';  // 0 = no substitution
    char sub_char = ';';
    bool no_padding = false;
    bool space_before_time = true;
    bool hex_numbers = true;
    bool quoted_text = false;
    bool pair_datetime = false;

    // Date and time text.
    std::string date_pattern = "yyyy-mm-dd";
    std::string time_pattern = "hh:mm:ss.xxx";
    date_time_format time_format{};

    // Columns and items.
    bool md5 = false, sha1 = false, sha256 = false;
    std::string hostname;
    std::string username;
    std::string program_base_name;  // the executable's, for the log2timeline "format" cell
    bool hide_dos_fntimes = false;
    bool filerecord_offset = false;

    // Per-entry actions.
    bool zone_info = false;
    bool owner_sid = false;
    bool include_header = false;
    bool find_strings = false;
    bool cluster_info = false;
    bool files_copied = false;  // -action_copy_files: the extracted-path columns

    bool header_wanted() const { return include_header || find_strings; }
};

}  // namespace skelvar
