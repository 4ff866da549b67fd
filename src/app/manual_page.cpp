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

// How copies are laid out and named, and what the digests are taken over.
constexpr const char* copy_paragraphs[] = {
    "With -action_copy_files <dir>, the unnamed data stream of each selected entry (with -named_data its named "
    "streams, with -all every data stream) is copied to <dir>/<state>/<category>/<name>. The state is \"valid\", "
    "\"deleted-mft\" (a record not in use) or \"deleted-unalloc\" (a record found in free clusters). The category "
    "names the filter that chose the entry: the name or extension searched for, the folder path of a directory "
    "filter (\\Windows\\System32 gives [root]-Windows-System32), the signature type, \"wildcard\", \"inodes\", "
    "else \"catchall\". The name is yyyy_mm_dd_hhmm_ss_mmm_<md5>_<file name>[.<stream name>][_<label>][.bin]: the "
    "$STANDARD_INFORMATION modification time (UTC), the MD5 of the copied bytes, the entry's name, the stream "
    "name and attribute label of a named stream, and .bin unless -use_orig_ext is given. A copy that is already "
    "there under its name (same time, MD5 and name) is kept. Each stream is written to __temp__.bin in <dir> "
    "first (with -cpu the instance number in front) and then given its name. The report has one row per copied "
    "stream, its name after the file name and a \":\", and the path of the copy.",
    "The bytes copied: a resident stream's value from its record; a non-resident stream's clusters through the "
    "volume, up to its data size (or its initialized size when larger), with zeros past the initialized size; "
    "sparse ranges as zeros (holes in the copy), or left out with -skip_sparse_clusters; compressed streams "
    "expanded. With -raw the allocated size instead, slack included, every cluster as stored (compressed ones "
    "too) and sparse ranges left out. An empty stream is not copied. An extracted $MFT file holds no clusters, so "
    "from -mftfile only resident streams can be copied. A stream that is not copied (its clusters cannot be "
    "read, or are not in the source) is named on standard error with the reason, and its row has no path; a "
    "compressed unit whose data is damaged is copied with the damaged 4096-byte chunks as zeros, and said so.",
    "Names from the volume never lead a copy out of its folder: in every file and folder name a control "
    "character (0x00-0x1F, 0x7F), \"/\", \"\\\", \"%\" and each of < > : \" | ? * is written as \"%\" and two "
    "upper-case hexadecimal digits (\"/\" is %2F); a name that is \".\" or \"..\" has its dots written %2E; half a "
    "UTF-16 surrogate pair is written %u and four hexadecimal digits; all else, letters of any script included, "
    "as UTF-8. A name that would exceed 255 bytes loses part of its middle, marked \"%~\". A symlink found in the "
    "results folder in place of a folder or a temporary file is neither followed nor written through, nothing "
    "already there is replaced, and the evidence files are never removed or written.",
    "-md5, -sha1, -sha256 and -hashfile take the digests of each entry's unnamed data stream over the bytes a copy "
    "would hold (-raw and -skip_sparse_clusters apply), from the copy when one is made, else reading the stream "
    "without writing it. An empty stream, or one that cannot be read whole, has no digests: \"no data\" in the "
    "hash report, an empty cell (\"0\" in the body file) elsewhere.",
};

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
    out += ".SH COPIED FILES AND DIGESTS\n";
    for (const char* paragraph : copy_paragraphs) {
        out += roff_escape(paragraph);
        out += "\n.PP\n";
    }
    out.resize(out.size() - 4);  // no paragraph break after the last
    out += ".SH EXIT STATUS\n0 for a completed run or the usage text; 255 when the command line cannot be "
           "used or the results file cannot be written.\n";
    return out;
}

}  // namespace skelvar
