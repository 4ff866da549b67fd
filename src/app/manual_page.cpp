#include "app/manual_page.h"

#include <set>
#include <string_view>

#include "app/header_text.h"
#include "app/option_table.h"

namespace skelvar {

namespace {

std::string roff_escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

void render_section(std::string& out, const char* title, const char* intro, std::span<const option_desc> rows,
                    std::set<std::string_view>& seen) {
    out += ".SS \"";
    out += title;
    out += "\"\n";
    out += intro;
    out += '\n';
    for (const option_desc& row : rows) {
        // An option listed by an earlier parser is consumed there; later rows never see it.
        if (!seen.insert(row.name).second) continue;
        out += ".TP\n.B ";
        out += roff_escape(row.name);
        if (row.takes_value()) {
            out += " \\fI";
            out += roff_escape(row.value_name);
            out += "\\fR";
        }
        out += '\n';
        out += roff_escape(row.meaning);
        out += '\n';
    }
}

}  // namespace

std::string render_manual_page() {
    std::string out;
    out += ".\\\" Generated from the option tables (src/app/option_table.cpp); edit those, not this file.\n";
    out += ".TH SKELVAR 1 \"\" \"" + roff_escape(banner_text()) + "\" \"User Commands\"\n";
    out += ".SH NAME\nskelvar \\- timeline and triage of the NTFS Master File Table\n";
    out += ".SH SYNOPSIS\n";
    out += ".B skelvar\n\\-mftfile \\fIfile\\fR [\\fIoptions\\fR]\n.br\n";
    out += ".B skelvar\n\\-image \\fIfile\\fR [\\-offset \\fIbytes\\fR] [\\fIoptions\\fR]\n.br\n";
    out += ".B skelvar\n\\-vmdk \\fIlist\\fR | \\-partition \\fIletter\\fR | \\-drivenum \\fIn\\fR | "
           "\\-vss \\fIn\\fR [\\fIoptions\\fR]\n";
    out += ".SH DESCRIPTION\n";
    out += "skelvar reads the $MFT of an NTFS volume record by record and reports every selected entry "
           "(names, parent, full path, $STANDARD_INFORMATION and $FILE_NAME times, sizes, flags, streams) "
           "as a timeline, CSV and other layouts. Results go to the \\-out file or standard output; "
           "progress and messages go to standard error.\n";
    out += ".PP\nOption names ignore case. An option that takes a value and stands last has no value "
           "and is ignored. List values are split at \"|\", \",\" and \";\". Numbers are decimal, or "
           "hexadecimal in the digits after an \"x\" (0x10 and 1x10 are 16). Without arguments, or with \\-h, \\-help, /? or "
           "\\-\\-help, the usage text is printed.\n";
    out += ".SH OPTIONS\n";
    std::set<std::string_view> seen;
    render_section(out, "Run options", "Read first, before every other option.", driver_options(), seen);
    render_section(out, "Layout and general options", "Output layout, separators, dates and run behaviour.",
                   generic_options(), seen);
    render_section(out, "Sources, filters and actions", "What is read, which entries are reported, and what "
                   "is done with them.", main_options(), seen);
    out += ".SH EXIT STATUS\n0 for a completed run or the usage text; 255 when the command line cannot be "
           "used or the results file cannot be written.\n";
    return out;
}

}  // namespace skelvar
