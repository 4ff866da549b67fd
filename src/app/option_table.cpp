#include "app/option_table.h"

#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

#include "app/layout_settings.h"
#include "app/mft_entries_ctx.h"
#include "app/option_values.h"
#include "app/script_file.h"
#include "report/date_time.h"
#include "select/signature_tests.h"
#include "support/console.h"
#include "volume/volume_detection.h"

namespace skelvar {

namespace {

using console::message;

constexpr int fail = -1;
constexpr std::uint64_t entry_mask = 0x0000FFFFFFFFFFFFull;

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

// Entry-number lists: a value that does not parse adds no filter. A full file
// reference is accepted and reduced to its entry number.
void read_entry_list(const char* option, const std::string& value, std::set<std::uint64_t>& out) {
    for (const std::string& item : split_list(value)) {
        if (auto n = parse_number(item)) out.insert(*n & entry_mask);
        else message("warning: %s value [%s] is not an entry number, ignored\n", option, item.c_str());
    }
}

void append_list(const std::string& value, std::vector<std::string>& out) {
    for (std::string& item : split_list(value)) out.push_back(std::move(item));
}

void create_parent_directory(const std::string& path) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
}

// The field a path of member pointers names: at(ctx, &C::output, &report_options::csv) is ctx.output.csv.
template <class Obj>
Obj& at(Obj& obj) {
    return obj;
}
template <class Obj, class Member, class... Rest>
auto& at(Obj& obj, Member member, Rest... rest) {
    return at(obj.*member, rest...);
}

// Handlers that only raise a flag, store a text or add to a list.
template <auto... Path>
int set_flag(option_state& s, const std::string&) {
    at(s.ctx, Path...) = true;
    return 0;
}

template <auto... Path>
int set_text(option_state& s, const std::string& v) {
    at(s.ctx, Path...) = v;
    return 0;
}

template <auto... Path>
int add_list(option_state& s, const std::string& v) {
    append_list(v, at(s.ctx, Path...));
    return 0;
}

#define SKELVAR_NUMBER_HANDLER(fn, option, field) \
    int fn(option_state& s, const std::string& v) { return read_number(option, v, s.ctx.field); }

using C = mft_entries_ctx;
using R = report_options;
using S = selection_settings;
using P = pending_options;
using X = extraction_settings;
using B = stream_bytes_options;
using O = source_settings;

// Options accepted for command-line compatibility with no effect of their own.
int ignore(option_state&, const std::string&) { return 0; }

// ---- driver ----

int on_script(option_state& s, const std::string& v) {
    // Only the first -script is expanded: a script naming itself cannot loop.
    if (s.script_expanded) return 0;
    s.script_expanded = true;
    if (auto text = read_script_file(v))
        for (std::string& token : script_tokens(*text)) s.args.append(std::move(token));
    return 0;
}

void select_digest(report_options& o, const std::string& name) {
    bool* digest = name == "md5" ? &o.md5 : name == "sha1" ? &o.sha1 : name == "sha256" ? &o.sha256 : nullptr;
    if (!digest) return;
    *digest = true;
    clear_csv_layouts(o);
    o.hash_layout = true;
}

int on_hashfile(option_state& s, const std::string& v) {
    for (const std::string& item : split_list(v)) select_digest(s.ctx.output, item);
    set_field_separator(s.ctx.output, "|");
    return 0;
}

int on_out(option_state& s, const std::string& v) {
    s.ctx.out_path = v;
    s.ctx.has_out_file = true;
    create_parent_directory(v);
    return 0;
}

int on_cpuinst(option_state& s, const std::string& v) {
    std::uint64_t n = 0;
    if (read_number("-cpuinst", v, n) != 0) return fail;
    s.ctx.instance_index = static_cast<std::int64_t>(n & 0x7FFFFFFF);
    return 0;
}

constexpr option_desc driver_rows[] = {
    {"-version", "", "print the version line and exit", ignore},
    {"-script", "<file>", "read further options from this file (appended after the command line)", on_script},
    {"-hashfile", "<list>", "hash report: the md5, sha1 and/or sha256 of each file's unnamed data stream, one "
     "\"|\" separated line per file (\"no data\" where a digest cannot be taken)", on_hashfile},
    {"-md5", "", "add the MD5 of each unnamed data stream to the report", set_flag<&C::output, &R::md5>},
    {"-sha1", "", "add the SHA-1 of each unnamed data stream to the report", set_flag<&C::output, &R::sha1>},
    {"-sha256", "", "add the SHA-256 of each unnamed data stream to the report", set_flag<&C::output, &R::sha256>},
    {"-outfile", "<file>", "same as -out", on_out},
    {"-out", "<file>", "write the results to this file instead of standard output", on_out},
    {"-cpuinst", "<index>", "instance number of a child of a -cpu run", on_cpuinst},
    {"-tempdir", "<dir>", "folder for the instance files of a -cpu run", set_text<&C::tempdir>},
};

// ---- generic ----

// The file is created once the run knows it is not the evidence; the lines come before are kept.
int on_diags(option_state& s, const std::string& v) {
    s.ctx.diags.hold(s.command_line);
    s.ctx.diags_path = v;
    return 0;
}

int on_csv(option_state& s, const std::string&) {
    report_options& o = s.ctx.output;
    o.csv = true;
    set_field_separator(o, ",");
    // Paired date-time cells keep their widths so the columns still line up.
    if (!o.pair_datetime) o.no_padding = true;
    return 0;
}

int on_csvl2t(option_state& s, const std::string&) {
    report_options& o = s.ctx.output;
    o.csvl2t = true;
    o.l2t_extended = true;
    set_field_separator(o, ",");
    o.no_padding = true;
    o.space_before_time = false;
    return 0;
}

int on_bodyfile(option_state& s, const std::string&) {
    report_options& o = s.ctx.output;
    o.bodyfile = true;
    set_field_separator(o, "|");
    o.no_padding = true;
    o.space_before_time = false;
    return 0;
}

int on_cpu(option_state& s, const std::string& v) {
    std::uint64_t n = 0;
    if (read_number("-cpu", v, n) != 0) return fail;
    s.ctx.instances = n == 0 ? 1u : static_cast<unsigned>(n < 256 ? n : 256);
    return 0;
}

int on_base10(option_state& s, const std::string&) {
    s.ctx.output.hex_numbers = false;
    return 0;
}

int on_csv_separator(option_state& s, const std::string& v) {
    set_field_separator(s.ctx.output, v);
    return 0;
}

int on_no_whitespace(option_state& s, const std::string&) {
    remove_separator_whitespace(s.ctx.output);
    return 0;
}

int on_dateformat(option_state& s, const std::string& v) {
    if (valid_date_pattern(v)) s.ctx.output.date_pattern = v;
    else message("invalid %s, using default format\n", v.c_str());
    return 0;
}

int on_timeformat(option_state& s, const std::string& v) {
    if (valid_time_pattern(v)) s.ctx.output.time_pattern = v;
    else message("invalid %s, using default format\n", v.c_str());
    return 0;
}

int on_quiet(option_state& s, const std::string&) {
    s.ctx.show_progress = false;
    return 0;
}

int on_quoted_fields(option_state& s, const std::string&) {
    s.ctx.output.quoted_text = true;
    s.ctx.output.sep_char = 0;
    return 0;
}

int not_offered(option_state&, const std::string&) {
    message("This option is not offered in this build\n");
    return fail;
}

constexpr const char* no_effect = "accepted for compatibility; no effect";

constexpr option_desc generic_rows[] = {
    {"-pair_datetime", "", "write date and time in one field", set_flag<&C::output, &R::pair_datetime>},
    {"-diags", "<file>", "write diagnostics to this file (elapsed time appended at exit)", on_diags},
    {"-csv", "", "CSV layout: comma separator, cells not padded", on_csv},
    {"-csvl2t", "", "log2timeline CSV layout", on_csvl2t},
    {"-bodyfile", "", "body-file layout (\"|\" separated, times in seconds since 1970; a line per named stream too)", on_bodyfile},
    {"-jsonl", "", "JSON lines: one object per distinct time and name of an entry, as Timesketch imports "
     "them; no header line (see JSON LINES)", set_flag<&C::output, &R::jsonl>},
    {"-hostname", "<name>", "host name written into the output", set_text<&C::output, &R::hostname>},
    {"-cpu", "<count>", "split the run over this many instances merged into -out", on_cpu},
    {"-separate_files", "", "with -cpu: keep one results file per instance", set_flag<&C::separate_files>},
    {"-profile", "", "print the elapsed time at exit", set_flag<&C::profile>},
    {"-pipe", "", "the header shows the command line as fed by a file list", ignore},
    {"-base10", "", "write numbers in decimal", on_base10},
    {"-base16", "", "write numbers in hexadecimal (the default)", set_flag<&C::output, &R::hex_numbers>},
    {"-csv_separator", "<text>", "field separator text (\"tab\" or \"\\t\" for a tab)", on_csv_separator},
    {"-no_whitespace", "", "no spaces around separators, no padding", on_no_whitespace},
    {"-dateformat", "<layout>", "date layout, e.g. mm/dd/yyyy (default yyyy-mm-dd)", on_dateformat},
    {"-timeformat", "<layout>", "time layout, e.g. hh:mm:ss (default hh:mm:ss.xxx)", on_timeformat},
    {"-v", "", no_effect, ignore},
    {"-verbose", "", no_effect, ignore},
    {"-quiet", "", "no progress display", on_quiet},
    {"-signal", "<name>", "post this named semaphore when the run ends", set_text<&C::signal_name>},
    {"-username", "<name>", "user name written into the log2timeline layout", set_text<&C::output, &R::username>},
    {"-enable_quoted_csv_fields", "", "write every text cell in double quotes (a cell holding one is quoted anyway)", on_quoted_fields},
    {"-append", "", "append to an existing results file", set_flag<&C::append>},
    {"-fragment_files", "", "same as -separate_files", set_flag<&C::separate_files>},
    {"-csvgen", "", no_effect, ignore},
    {"-xml", "", no_effect, ignore},
    {"-multiline", "", no_effect, ignore},
    {"-alias", "<name>", no_effect, ignore},
    {"-aliaspath", "<path>", no_effect, ignore},
    {"-gzip", "", no_effect, ignore},
    {"-zlib", "", no_effect, ignore},
    {"-zlibex", "", no_effect, ignore},
    {"-threads", "<count>", no_effect, ignore},
    {"-split_pathfile", "", no_effect, ignore},
    {"-outdir", "<dir>", no_effect, ignore},
    {"-enumdir", "<dir>", no_effect, ignore},
    {"-num_subdirs", "<count>", no_effect, ignore},
    {"-filter_skip", "<list>", no_effect, ignore},
    {"-filter_path", "<list>", no_effect, ignore},
    {"-filter", "<list>", no_effect, ignore},
    {"-cmd_start_time", "<date time>", no_effect, ignore},
    {"-cmd_stop_time", "<date time>", no_effect, ignore},
    {"-l2", "", no_effect, ignore},
    {"-l3", "", no_effect, ignore},
    {"-sqlite", "", "refused: not offered in this build", not_offered},
    {"-sqlite_log", "", "refused: not offered in this build", not_offered},
};

// ---- main parser ----

// -default_output: the timeline, whatever layout was asked for before.
int on_default_output(option_state& s, const std::string&) {
    clear_csv_layouts(s.ctx.output);
    set_field_separator(s.ctx.output, "|");
    return 0;
}

int on_filepath_only(option_state& s, const std::string&) {
    report_options& o = s.ctx.output;
    clear_csv_layouts(o);
    o.csvperpath = false;
    o.filepath_only = true;
    o.separator.clear();
    o.sep_char = 0;
    o.sub_char = 0;
    return 0;
}

int on_csvperpath(option_state& s, const std::string&) {
    clear_csv_layouts(s.ctx.output);
    s.ctx.output.csvperpath = true;
    set_field_separator(s.ctx.output, "|");
    return 0;
}

SKELVAR_NUMBER_HANDLER(on_mftstart, "-mftstart", walk.start)
SKELVAR_NUMBER_HANDLER(on_mftrange, "-mftrange", walk.range)
SKELVAR_NUMBER_HANDLER(on_filter_max_size, "-filter_max_size", selection.max_size)
SKELVAR_NUMBER_HANDLER(on_filter_min_size, "-filter_min_size", selection.min_size)
SKELVAR_NUMBER_HANDLER(on_filter_min_ads_size, "-filter_min_ads_size", selection.min_ads_size)
SKELVAR_NUMBER_HANDLER(on_scanstart, "-scanstart", walk.scan_start)
SKELVAR_NUMBER_HANDLER(on_scansize, "-scansize", walk.scan_size)

int on_partition(option_state& s, const std::string& v) {
    auto path = drive_letter_path(v);
    // On Linux a partition is named by its block device (/dev/sdb1, /dev/nvme0n1p2).
    std::string reason;
    if (!path && v.find('/') != std::string::npos && is_ntfs_volume_path(v, reason)) path = v;
    if (!path) {
        message("prob validating volume %s as a NTFS partition, aborting...\n%s", v.c_str(), reason.c_str());
        return fail;
    }
    s.ctx.source.volume_path = *path;
    return 0;
}

int on_vss(option_state& s, const std::string& v) {
    std::uint64_t n = 0;
    if (read_number("-vss", v, n) != 0) return fail;
    s.ctx.source.volume_path = shadow_copy_path(n);
    return 0;
}

int on_raw(option_state& s, const std::string&) {
    s.ctx.extraction.bytes.raw = true;
    s.ctx.extraction.bytes.skip_sparse = true;
    return 0;
}

// -all wins over -named_data whatever their order.
int on_all_streams(option_state& s, const std::string&) {
    s.ctx.extraction.streams = stream_choice::all;
    return 0;
}

int on_named_streams(option_state& s, const std::string&) {
    if (s.ctx.extraction.streams != stream_choice::all) s.ctx.extraction.streams = stream_choice::named;
    return 0;
}

int on_filter_deleted_files(option_state& s, const std::string&) {
    s.ctx.selection.deleted_only = true;
    s.ctx.selection.and_logic = true;
    return 0;
}

int on_copy_files(option_state& s, const std::string& v) {
    report_options& o = s.ctx.output;
    if (o.csvperpath) {
        if (o.filepath_only) return fail;
    } else {
        clear_csv_layouts(o);
        o.csvperpath = true;
        set_field_separator(o, ",");
    }
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::absolute(std::filesystem::path(v), ec);
    if (ec || v.empty()) {
        message("prob understanding destination of %s aborting\n,", v.c_str());
        return fail;
    }
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) {
        message("prob creating results directory, %s\n", v.c_str());
        return fail;
    }
    s.ctx.extraction.folder = dir.string();
    o.files_copied = true;
    return 0;
}

int on_filter_start_time(option_state& s, const std::string& v) {
    auto t = parse_date_time(v, "00:00:00");
    if (!t) message("Error: invalid filter start time, defaulting to 0\n");
    s.ctx.selection.window.start = t.value_or(0);
    s.ctx.selection.window.stop = std::numeric_limits<std::uint64_t>::max();
    return 0;
}

int on_filter_stop_time(option_state& s, const std::string& v) {
    if (auto t = parse_date_time(v, "23:59:59")) s.ctx.selection.window.stop = *t;
    return 0;
}

int on_offset(option_state& s, const std::string& v) {
    return read_number("-offset", v, s.ctx.source.volume_offset);
}

int on_include_header(option_state& s, const std::string&) {
    s.ctx.output.include_header = true;
    s.ctx.header.want(0x20);
    return 0;
}

int on_find_strings(option_state& s, const std::string&) {
    s.ctx.output.find_strings = true;
    s.ctx.header.want(0x100);
    return 0;
}

int on_filter_dir_inode(option_state& s, const std::string& v) {
    read_entry_list("-filter_dir_inode", v, s.ctx.selection.dir_inodes);
    return 0;
}

int on_filter_inode(option_state& s, const std::string& v) {
    read_entry_list("-filter_inode", v, s.ctx.selection.inodes);
    return 0;
}

int on_filter_pattern(option_state& s, const std::string& v) {
    auto items = split_list(v);
    if (items.empty()) {
        message("Error: -filter_pattern option specified invalid argument, aborting\n");
        return fail;
    }
    for (std::string& item : items) s.ctx.selection.patterns.push_back(std::move(item));
    return 0;
}

int on_filter_unalloc(option_state& s, const std::string&) {
    s.ctx.unalloc_scan = true;
    s.ctx.selection.and_logic = true;
    return 0;
}

int on_filter_sig(option_state& s, const std::string& v) {
    for (const std::string& name : split_list(v)) {
        const signature_info* sig = find_signature(name);
        if (!sig) {
            message("Error: -filter_sig option specified invalid option, aborting\n");
            return fail;
        }
        s.ctx.selection.sig_types.push_back(sig->type);
        s.ctx.header.offset = 0;
        s.ctx.header.want(sig->header_bytes);
    }
    return 0;
}

int on_find_objid(option_state& s, const std::string& v) {
    if (!parse_object_id(v, s.ctx.pending.find_objid)) {
        message("prob parsing %s as ObjID, aborting\n", v.c_str());
        return fail;
    }
    s.ctx.pending.find_objid_given = true;
    return 0;
}

int on_find_mft(option_state& s, const std::string& v) {
    std::uint64_t n = 0;
    if (read_number("-find_mft", v, n) != 0) return fail;
    s.ctx.output.record_dump = true;
    s.ctx.walk.start = n;
    s.ctx.walk.range = 1;
    s.ctx.header.want(0x800);
    return 0;
}

int on_include_header_ex(option_state& s, const std::string& v) {
    std::uint64_t n = 0;
    if (read_number("-action_include_header_ex", v, n) != 0) return fail;
    if (n == 0 || n > max_header_bytes) {
        message("Error: -action_include_header_ex option specified invalid size [%s], aborting\n", v.c_str());
        return fail;
    }
    s.ctx.output.include_header = true;
    s.ctx.header.want(static_cast<std::uint32_t>(n));
    return 0;
}

int on_drivenum(option_state& s, const std::string& v) {
    std::uint64_t n = 0;
    if (read_number("-drivenum", v, n) != 0) return fail;
    s.ctx.source.drive_number = static_cast<std::int32_t>(n > 0x7FFFFFFF ? 0x7FFFFFFF : n);
    return 0;
}

constexpr option_desc main_rows[] = {
    {"-hide_dos_fntimes", "", "do not report the DOS 8.3 file-name times", set_flag<&C::output, &R::hide_dos_fntimes>},
    {"-default_output", "", "the default timeline layout, whatever else is given", on_default_output},
    {"-filepath_only", "", "write only the path of each entry", on_filepath_only},
    {"-csvperpath", "", "one \"|\" separated row per path name", on_csvperpath},
    {"-verbose", "", no_effect, ignore},
    {"-mftstart", "<entry>", "first MFT entry to process", on_mftstart},
    {"-mftrange", "<count>", "number of MFT entries to process", on_mftrange},
    {"-partition", "<drive letter or device>", "source: a live volume by drive letter; on Linux a partition's "
     "block device (/dev/sdb1, /dev/nvme0n1p2), read-only", on_partition},
    {"-mftfile", "<file>", "source: an extracted $MFT file", set_text<&C::source, &O::mftfile_path>},
    {"-vss", "<number>", "source: a volume shadow copy by number (Windows only; elsewhere the run says \"prob "
     "opening the source, nothing to report\")", on_vss},
    {"-raw", "", "copies and digests take the allocated size (slack included) and compressed clusters as "
     "stored, and leave sparse clusters out", on_raw},
    {"-skip_sparse_clusters", "", "copies and digests leave sparse clusters out (zeros otherwise)",
     set_flag<&C::extraction, &X::bytes, &B::skip_sparse>},
    {"-regen_mft", "", "rebuild the $MFT by scanning the volume for file records", set_flag<&C::source, &O::regen_mft>},
    {"-filter_deleted_files", "", "only deleted entries of the $MFT", on_filter_deleted_files},
    {"-use_orig_ext", "", "copies keep their own extension (no .bin)", set_flag<&C::extraction, &X::use_orig_ext>},
    {"-action_copy_files", "<dir>", "copy the data of the selected files into this folder (created when "
     "missing) and report them one \",\" separated row per path, with the path of each copy; see COPIED FILES AND DIGESTS",
     on_copy_files},
    {"-all", "", "with -action_copy_files: copy every data stream", on_all_streams},
    {"-named_data", "", "with -action_copy_files: copy the named streams", on_named_streams},
    {"-normal_data", "", "with -action_copy_files: copy the unnamed stream (the default)", ignore},
    {"-filter_start_time", "<date time>", "lower time limit, \"mm/dd/yyyy hh:mm:ss\" UTC", on_filter_start_time},
    {"-filter_stop_time", "<date time>", "upper time limit, \"mm/dd/yyyy hh:mm:ss\" UTC", on_filter_stop_time},
    {"-filter_wildcard", "<pattern>", "names holding this pattern (\"?\" = one character, \"*\" = any run)",
     add_list<&C::selection, &S::wildcards>},
    {"-filter_ext", "<list>", "files with these extensions", add_list<&C::selection, &S::exts>},
    {"-filter_fullname", "<list>", "files with exactly these names", add_list<&C::selection, &S::fullnames>},
    {"-filter_name", "<list>", "files whose names contain these texts", add_list<&C::selection, &S::names>},
    {"-offset", "<bytes>", "byte offset of the volume in the image or drive", on_offset},
    {"-action_include_zoneinfo", "", "report the Zone.Identifier stream", set_flag<&C::output, &R::zone_info>},
    {"-action_include_ownersid", "", "report the owner SID", set_flag<&C::output, &R::owner_sid>},
    {"-action_include_header", "", "report the first 0x20 bytes of the data", on_include_header},
    {"-action_find_strings_in_hdr", "", "report strings found in the first 0x100 bytes", on_find_strings},
    {"-action_include_clusterinfo", "", "report the cluster runs of each stream", set_flag<&C::output, &R::cluster_info>},
    {"-hexdump", "", "with -find_mft: the record's bytes and the leading bytes of its data as hex dumps",
     set_flag<&C::output, &R::hexdump>},
    {"-filter_file", "<list>", "these files, by path", add_list<&C::selection, &S::files>},
    {"-filter_dir_recurse", "<list>", "files in these folders and below", add_list<&C::selection, &S::dir_trees>},
    {"-filter_dir", "<list>", "files in these folders", add_list<&C::selection, &S::dirs>},
    {"-filter_dir_inode", "<list>", "files in the folders of these entry numbers", on_filter_dir_inode},
    {"-filter_inode", "<list>", "these entry numbers", on_filter_inode},
    {"-filerecord_offset", "", "report the byte offset of each file record", set_flag<&C::output, &R::filerecord_offset>},
    {"-filter_pattern", "<list>", "pattern filter values (stored, matched by no test yet)", on_filter_pattern},
    {"-scanstart", "<bytes>", "first byte of the volume the unallocated-cluster scan covers", on_scanstart},
    {"-scansize", "<bytes>", "bytes of the volume the unallocated-cluster scan covers (0: to the end)", on_scansize},
    {"-filter_unalloc_clusters", "", "only the file records left in unallocated clusters (a volume source)",
     on_filter_unalloc},
    {"-filter_all_clusters", "", "the $MFT, then the file records left in unallocated clusters",
     set_flag<&C::all_clusters>},
    {"-filter_deleted_files_all", "", "deleted entries of the $MFT, then the file records left in unallocated "
     "clusters", set_flag<&C::deleted_all>},
    {"-filter_AND_logic", "", "every given filter must match", set_flag<&C::selection, &S::and_logic>},
    {"-filter_sig", "<list>", "data signatures: mz 16bit_mz 32bit_pe 64bit_pe pe hive evt sqlite lnk", on_filter_sig},
    {"-find_objid", "<guid>", "look for this object id (not built yet)", on_find_objid},
    {"-filter_max_size", "<bytes>", "files not larger than this", on_filter_max_size},
    {"-filter_min_size", "<bytes>", "files not smaller than this", on_filter_min_size},
    {"-filter_min_ads_size", "<bytes>", "named streams at least this large", on_filter_min_ads_size},
    {"-find_mft", "<entry>", "dump this file record field by field instead of the other layouts", on_find_mft},
    {"-action_include_header_ex", "<bytes>", "report this many leading bytes of the data", on_include_header_ex},
    {"-jp", "", no_effect, ignore},
    {"-lnk", "", no_effect, ignore},
    {"-image", "<file>", "source: a disk or volume image: raw (dd), an attached drive (/dev/sdb, /dev/loop0, read "
     "in its logical sector size), or by its signature an E01/Ex01 (every segment), a VMDK (with the parents it "
     "names), a VHD/VHDX (fixed, dynamic, differencing) or a QCOW2 image, read as the disk it holds",
     set_text<&C::source, &O::image_path>},
    {"-ignore_image_size", "", "accept an image shorter than its volume (with -offset)",
     set_flag<&C::source, &O::ignore_image_size>},
    {"-mounted_vmdk", "<path>", "source: a mounted VMDK volume (Windows only; elsewhere the run says \"prob "
     "opening the source, nothing to report\"; give the VMDK files to -vmdk or -image instead)",
     set_text<&C::source, &O::mounted_vmdk_path>},
    {"-drivenum", "<number>", "source: a physical drive by number (Linux: 0 is /dev/sda, 1 /dev/sdb ...)",
     on_drivenum},
    {"-indxfile", "<file>", "an index file (stored; satisfies the source check)", set_text<&C::source, &O::indx_path>},
    {"-vmdk", "<list>", "source: a VMDK disk chain (monolithic sparse files), every file of it named, in any "
     "order; a missing parent is named in the suggested list", add_list<&C::source, &O::vmdk_paths>},
};

}  // namespace

std::span<const option_desc> driver_options() { return driver_rows; }
std::span<const option_desc> generic_options() { return generic_rows; }
std::span<const option_desc> main_options() { return main_rows; }

bool names_value_option(std::string_view argument) {
    for (const auto table : {driver_options(), generic_options(), main_options()})
        for (const option_desc& row : table)
            if (row.takes_value() && option_matches(argument, row.name)) return true;
    return false;
}

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
