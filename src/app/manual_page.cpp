#include "app/manual_page.h"

#include <iterator>
#include <set>
#include <span>
#include <string_view>

#include "app/header_text.h"
#include "app/option_table.h"
#include "ntfs/time_flags.h"

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

constexpr const char* jsonl_paragraphs[] = {
    "-jsonl writes one JSON object per line for each distinct time of an entry and each of its names (the "
    "events the default timeline writes as lines), in the shape Timesketch imports without a mapping: message "
    "(the path, which times, and \" (deleted)\" for a record not in use), datetime (ISO 8601 UTC with seven "
    "fraction digits, as 2024-03-01T10:22:33.1234567Z), timestamp_desc (which times carry the value: \"$SI "
    "Modified\", \"$SI Accessed\", \"$SI MFT Changed\", \"$SI Created\", the same with \"$FN\" for the "
    "name's own $FILE_NAME or \"$FN8.3\" for a DOS name, several joined by \", \"), timestamp (microseconds "
    "since 1970-01-01 UTC, rounded down; negative before 1970), mft_entry, mft_sequence, parent_entry (the "
    "name's directory), path (the full path of the name), filename, file_size (the unnamed data stream's "
    "size), deleted (a record not in use, or one carved from free clusters), source (\"NTFS$MFT\", or "
    "\"NTFS:UNALLOC\" for a carved record), is_ads (the entry holds named data streams), time_flags (the "
    "names of TIME FLAGS, an array) and type (\"file\", \"dir\", \"del\", \"unalloc\"); and, when they "
    "hold something, other_info (the timeline's other-info items but the time flags), stream_info (with the "
    "owner, cluster and header actions), header, md5, sha1, sha256 and extracted_path.",
    "Numbers are decimal and times UTC whatever -base10, -dateformat and -timeformat say. Every line is "
    "valid UTF-8: quotes, backslashes and control characters are escaped, and half a UTF-16 surrogate pair in "
    "a name is written as its \\uXXXX escape, so the name reads back as the volume holds it (a directory "
    "name of the path is written as in the other layouts, which end it at a lone high surrogate). The results "
    "file has no header line; when the results go to standard output, the banner goes to standard error. "
    "The time window, the filters and the actions apply as in the other layouts; -csvperpath, "
    "-filepath_only, -default_output and -action_copy_files replace the layout, as they replace -csv.",
};

// What each flag means and what else makes it fire, in the order of `time_flag_names`.
constexpr const char* time_flag_meanings[] = {
    "The $STANDARD_INFORMATION creation time is earlier than the creation time of one of the entry's "
    "$FILE_NAME attributes. The system writes a name's times from the $STANDARD_INFORMATION when the name is "
    "made, and the usual ways to set times (SetFileTime, timestomping tools, touch through ntfs-3g) change the "
    "$STANDARD_INFORMATION only. Also fires for copies and restores that set the source's creation time on the "
    "file they made (robocopy, backup tools, archive extractors that keep creation times, installers).",
    "A $STANDARD_INFORMATION time has no fraction of a second while none of the $FILE_NAME times lacks one. "
    "The system keeps times to 100 ns; a time typed by hand or taken from text comes in whole seconds. Also "
    "fires for copies from FAT media (FAT keeps modification times in 2-second steps and copies keep the "
    "modification time), archive extraction (ZIP keeps 2-second times, tar whole seconds) and downloads "
    "whose modification time is taken from the server (wget, curl -R).",
    "The $STANDARD_INFORMATION modification time is later than its MFT-change time. Writing data moves both; "
    "setting the modification time by hand moves the MFT-change time to the present, so a modification time "
    "beyond it was set into the future. Also fires when the system clock was turned back between two changes.",
    "A $STANDARD_INFORMATION or $FILE_NAME time is earlier than the volume's creation (the "
    "$STANDARD_INFORMATION creation time of $Volume, else of $MFT, read at the start of each walk). Also fires "
    "for files that keep the times of their source: copies (Explorer keeps the modification time), archive "
    "extraction, restores from backup, installers and deployed system images; and for records carved from "
    "free clusters that an earlier file system left.",
    "A $STANDARD_INFORMATION or $FILE_NAME time is later than the start of the run (the examiner's clock). "
    "Also fires for evidence from a machine whose clock ran ahead, and when the examining machine's clock is "
    "behind.",
};
static_assert(std::size(time_flag_meanings) == time_flag_names.size());

void render_paragraphs(std::string& out, std::span<const char* const> paragraphs) {
    for (const char* paragraph : paragraphs) {
        out += roff_escape(paragraph);
        out += "\n.PP\n";
    }
    out.resize(out.size() - 4);  // no paragraph break after the last
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
    out += ".SH COPIED FILES AND DIGESTS\n";
    render_paragraphs(out, copy_paragraphs);
    out += ".SH JSON LINES\n";
    render_paragraphs(out, jsonl_paragraphs);
    out += ".SH TIME FLAGS\n";
    out += roff_escape("Each entry's times are weighed for signs that they were set by hand (timestomping). The "
                       "flags found are named in the other-info cell of the timeline and CSV layouts (\"time "
                       "flags [name ...]\"), in the notes of the log2timeline layout, in the \"Time warning\" "
                       "cell of the per-path layout, in the comment of the hash report and in time_flags of "
                       "-jsonl; the body file has no cell for them, and the path list and the record dump do "
                       "not show them. Zero times take part in no test. A flag is a lead to look at, not a "
                       "proof:");
    out += '\n';
    for (std::size_t i = 0; i < time_flag_names.size(); ++i) {
        out += ".TP\n.B ";
        out += roff_escape(time_flag_names[i]);
        out += '\n';
        out += roff_escape(time_flag_meanings[i]);
        out += '\n';
    }
    out += ".SH EXIT STATUS\n0 for a completed run or the usage text; 255 when the command line cannot be "
           "used or the results file cannot be written.\n";
    return out;
}

}  // namespace skelvar
