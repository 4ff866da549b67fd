// Generic output settings shared by every layout (the base of the run context).
#pragma once

#include <cstdint>
#include <string>

#include "report/date_time.h"

namespace skelvar {

struct cmd_params {
    virtual ~cmd_params() = default;

    // results file
    std::string out_path;  // as given (host path)
    bool has_out_file = false;
    bool append = false;

    // layout switches
    bool csv = false;
    bool csvl2t = false;
    bool bodyfile = false;
    bool csvperpath = false;
    bool filepath_only = false;
    bool hash_layout = false;
    bool default_output = false;

    // separators and cells
    std::string separator = " | ";
    char sep_char = '|';   // 0 = no substitution
    char sub_char = ';';
    bool no_padding = false;
    bool space_before_time = true;
    bool hex_numbers = true;
    bool quoted_text = false;
    bool pair_datetime = false;
    bool no_whitespace = false;

    // date and time text
    std::string date_pattern = "yyyy-mm-dd";
    std::string time_pattern = "hh:mm:ss.xxx";
    date_time_format time_format{};

    // digests
    bool md5 = false, sha1 = false, sha256 = false;

    // run
    bool show_progress = true;
    bool verbose = false;
    bool profile = false;
    bool pipe = false;
    unsigned instances = 1;
    bool separate_files = false;
    std::string tempdir;
    std::string diags_path;
    std::string signal_name;
    std::string hostname;
    std::string username;
};

}  // namespace skelvar
