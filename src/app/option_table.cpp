#include "app/option_table.h"

#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

#include "app/layout_settings.h"
#include "app/mft_entries_ctx.h"
#include "report/date_time.h"
#include "support/console.h"

namespace skelvar {

namespace {

using console::message;

constexpr int fail = -1;

// Scalar numbers must parse: a mistyped range or offset would silently
// change what is examined.
int read_number(const char* option, const std::string& value, std::uint64_t& out) {
    auto n = parse_number(value);
    if (!n) {
        message("Error: %s option specified invalid number [%s], aborting\n", option, value.c_str());
        return fail;
    }
    out = *n;
    return 0;
}

void create_parent_directory(const std::string& path) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
}

// ---- driver ----

int on_out(option_state& s, const std::string& v) {
    s.ctx.out_path = v;
    s.ctx.has_out_file = true;
    create_parent_directory(v);
    return 0;
}

constexpr option_desc driver_rows[] = {
    {"-outfile", "<file>", "same as -out", on_out},
    {"-out", "<file>", "write the results to this file instead of standard output", on_out},
};

// ---- generic ----

int on_pair_datetime(option_state& s, const std::string&) {
    s.ctx.pair_datetime = true;
    return 0;
}

int on_diags(option_state& s, const std::string& v) {
    s.ctx.diags.open(v, s.command_line);
    s.ctx.diags_path = s.ctx.diags.active() ? v : std::string();
    return 0;
}

int on_csv(option_state& s, const std::string&) {
    s.ctx.csv = true;
    set_field_separator(s.ctx, ",");
    // Paired date-time cells keep their widths so the columns still line up.
    if (!s.ctx.pair_datetime) s.ctx.no_padding = true;
    return 0;
}

int on_profile(option_state& s, const std::string&) {
    s.ctx.profile = true;
    return 0;
}

int on_base10(option_state& s, const std::string&) {
    s.ctx.hex_numbers = false;
    return 0;
}

int on_base16(option_state& s, const std::string&) {
    s.ctx.hex_numbers = true;
    return 0;
}

int on_csv_separator(option_state& s, const std::string& v) {
    set_field_separator(s.ctx, v);
    return 0;
}

int on_no_whitespace(option_state& s, const std::string&) {
    remove_separator_whitespace(s.ctx);
    return 0;
}

int on_dateformat(option_state& s, const std::string& v) {
    if (valid_date_pattern(v)) s.ctx.date_pattern = v;
    else message("invalid %s, using default format\n", v.c_str());
    return 0;
}

int on_timeformat(option_state& s, const std::string& v) {
    if (valid_time_pattern(v)) s.ctx.time_pattern = v;
    else message("invalid %s, using default format\n", v.c_str());
    return 0;
}

int on_quiet(option_state& s, const std::string&) {
    s.ctx.show_progress = false;
    return 0;
}

int on_signal(option_state& s, const std::string& v) {
    s.ctx.signal_name = v;
    return 0;
}

int on_quoted_fields(option_state& s, const std::string&) {
    s.ctx.quoted_text = true;
    s.ctx.sep_char = 0;
    return 0;
}

constexpr option_desc generic_rows[] = {
    {"-pair_datetime", "", "write date and time in one field", on_pair_datetime},
    {"-diags", "<file>", "write diagnostics to this file (elapsed time appended at exit)", on_diags},
    {"-csv", "", "CSV layout: comma separator, cells not padded", on_csv},
    {"-profile", "", "print the elapsed time at exit", on_profile},
    {"-base10", "", "write numbers in decimal", on_base10},
    {"-base16", "", "write numbers in hexadecimal (the default)", on_base16},
    {"-csv_separator", "<text>", "field separator text (\"tab\" or \"\\t\" for a tab)", on_csv_separator},
    {"-no_whitespace", "", "no spaces around separators, no padding", on_no_whitespace},
    {"-dateformat", "<layout>", "date layout, e.g. mm/dd/yyyy (default yyyy-mm-dd)", on_dateformat},
    {"-timeformat", "<layout>", "time layout, e.g. hh:mm:ss (default hh:mm:ss.xxx)", on_timeformat},
    {"-quiet", "", "no progress display", on_quiet},
    {"-signal", "<name>", "set this named semaphore when the run ends", on_signal},
    {"-enable_quoted_csv_fields", "", "write text cells in double quotes", on_quoted_fields},
};

// ---- main parser ----

int on_hide_dos_fntimes(option_state& s, const std::string&) {
    s.ctx.hide_dos_fntimes = true;
    return 0;
}

int on_mftstart(option_state& s, const std::string& v) { return read_number("-mftstart", v, s.ctx.mft_start); }

int on_mftrange(option_state& s, const std::string& v) { return read_number("-mftrange", v, s.ctx.mft_range); }

int on_mftfile(option_state& s, const std::string& v) {
    s.ctx.mftfile_path = v;
    return 0;
}

int on_filerecord_offset(option_state& s, const std::string&) {
    s.ctx.filerecord_offset = true;
    return 0;
}

constexpr option_desc main_rows[] = {
    {"-hide_dos_fntimes", "", "do not report the DOS 8.3 file-name times", on_hide_dos_fntimes},
    {"-mftstart", "<entry>", "first MFT entry to process", on_mftstart},
    {"-mftrange", "<count>", "number of MFT entries to process", on_mftrange},
    {"-mftfile", "<file>", "source: an extracted $MFT file", on_mftfile},
    {"-filerecord_offset", "", "report the byte offset of each file record", on_filerecord_offset},
};

}  // namespace

std::span<const option_desc> driver_options() { return driver_rows; }
std::span<const option_desc> generic_options() { return generic_rows; }
std::span<const option_desc> main_options() { return main_rows; }

int apply_options(std::span<const option_desc> table, option_state& state) {
    for (const option_desc& row : table) {
        for (;;) {
            int rc;
            if (row.takes_value()) {
                auto value = state.args.take_value(row.name);
                if (!value) break;
                rc = row.handler(state, *value);
            } else {
                if (!state.args.take_flag(row.name)) break;
                rc = row.handler(state, std::string());
            }
            if (rc != 0) return rc;
        }
    }
    return 0;
}

}  // namespace skelvar
