#include "app/usage_text.h"

#include <cstdio>
#include <cstring>

namespace skelvar {

namespace {

// Option lines are "text = meaning" pairs; a line starting with '\n' is
// printed as it stands (without that marker), "" is an empty line.
struct usage_group {
    const char* title;
    const char* const* lines;
    std::size_t count;
};

constexpr const char* source_lines[] = {
    "\n Running 'skelvar' on an extracted $MFT file\n",
    "\n  skelvar -mftfile <name> [-opts]        = source is extract $MFT file\n",
    "",
    "\n Running 'skelvar' on a disk/partition image captured w/ a 'dd' type tool\n",
    "\n  skelvar -image <file> [-offset <vol>]  = dd image\n",
    "",
    "\n Running 'skelvar' on a VMWare monolithic virtual volume\n",
    "\n  -vmdk \"disk1 | disk2 | ...\"             = VMWare VMDK disk(s)\n",
    "",
    "\n Running 'skelvar' on a live volume\n",
    "\n  skelvar -partition <drv letter> [opts]   \n",
    "\n  skelvar -drivenum <#> [-offset <vol>]  = Disk# that is mounted\n",
    "\n  skelvar -vss <num>  [options]          = Volume Shadow parse\n",
};

constexpr const char* or_lines[] = {
    "-filter_ext \"ext1 | ext2 | ...\" = extract using exts",
    "-filter_name \"name1 | name2 | ...\" = extract using partial names",
    "-filter_fullname \"name1 | name2 | ...\" = extract using full names",
    "-filter_dir \"dir1 | dir2 | ...\" = extract using dirs",
    "-filter_file \"path/file1 | ...\" = extract specified files",
    "-filter_dir_inode \"inode1 | inode2 ..\" = extract using dir inodes",
    "-filter_inode \"inode1 | inode2 | ...\" = extract specified inodes",
    "-filter_sig \"mz | hive | evt | sqlite\" = extract using signatures",
    "-filter_max_size <size> = extract if doesn't exceed size",
    "-filter_min_ads_size <size> = extract ADS sizes greater than",
};

constexpr const char* and_lines[] = {
    "-filter_start_time <date time> = format \"mm/dd/yyyy hh:mm:ss\"",
    "-filter_stop_time <date time> = format \"mm/dd/yyyy hh:mm:ss\"",
    "-filter_deleted_files = analyzes only filerecs in $MFT",
    "-filter_deleted_files_all = analyzes both $MFT and unalloc",
    "-filter_unalloc_clusters = analyze unallocated clusters",
    "-filter_all_clusters = analyze $MFT & unalloc clusters",
};

// The two continuation lines of -action_copy_files start with nine spaces.
constexpr const char* extraction_lines[] = {
    "-action_copy_files <dir> [-raw] = extract file into dir",
    "       [-raw] = incl slack & skip sparse clusters",
    "       [-skip_sparse_clusters] = don't incl sparse clusters",
    "-action_include_header = extracts 0x20 bytes from file",
    "-action_find_strings_in_hdr = find strings in first 0x100 bytes",
    "-action_include_clusterinfo = show cluster info",
    "-action_include_zoneinfo = show any ADS: Zone info",
    "-action_include_ownersid = show owner SID",
};

constexpr const char* format_lines[] = {
    "-csv = csv format, has most output",
    "-csvl2t = log2timeline format",
    "-bodyfile = bodyfile format",
    "-csvperpath = only one csv entry/pathfile",
    "-jsonl = JSON lines for Timesketch",
    "-hashfile  \"md5 | sha1 | sha256\" = display hashes in output",
};

constexpr const char* general_lines[] = {
    "-out <results file> = output results to this file",
    "-hide_dos_fntimes = don't include dos 8.3 fn time",
    "-hostname <name> = output hostname",
    "-base10 = use base10 vice std::hex ",
    "-use_orig_ext = only for [-action_copy_files]",
    "-script <file> = use file to express options",
    "-mftstart <value> [-mftrange <value>] = only process these inodes",
    "-filerecord_offset = output the offset of the filerec",
    "-quiet = suppress progress during run",
    "-dateformat mm/dd/yy = \"yyyy-mm-dd\" is the default",
    "-timeformat hh:mm:ss = \"hh:mm:ss.xxx\" is the default",
    "-pair_datetime = combine date/time into 1 field",
    "-no_whitespace = remove whitespace between delims",
    "-csv_separator \"|\" = use a pipe char for separator",
};

constexpr const char* instance_lines[] = {
    "\n  -cpu <#instances> -out <file> = merge instances into 1 file\n",
    "\n         [-tempdir <folder>]    = use this temp dir for file merge\n",
    "\n         [-separate_files]      = don't merge; each instance is separate file\n",
};

template <std::size_t N>
constexpr usage_group group(const char* title, const char* const (&lines)[N]) {
    return {title, lines, N};
}

const usage_group groups[] = {
    group(nullptr, source_lines),
    group(" Filter 'OR' logic options\n", or_lines),
    group(" Filter 'AND' logic options\n", and_lines),
    group(" Extraction options\n", extraction_lines),
    group(" Results file format options\n", format_lines),
    group(" General purpose options\n", general_lines),
    group(" Experimental option [split processing into multiple instances]\n", instance_lines),
};

// "text = meaning" as "  text<pad>= meaning\n" with "=" in the usage column.
std::string option_line(std::string_view pair) {
    std::size_t eq = pair.find(" = ");
    std::string line = "  ";
    line += pair.substr(0, eq);
    std::size_t before_equals = usage_equals_column - 1;
    if (line.size() + 1 > before_equals) line += ' ';
    while (line.size() < before_equals) line += ' ';
    line += "= ";
    line += pair.substr(eq + 3);
    line += '\n';
    return line;
}

template <typename Sink>
void emit(std::string_view banner, Sink&& sink) {
    sink("-----------------------------------------------------------------------------\n\n");
    sink(std::string(banner) + "\n\n");
    sink("usage:\n");
    sink("\n");
    for (const usage_group& g : groups) {
        if (g.title) sink(g.title);
        for (std::size_t i = 0; i < g.count; ++i) {
            const char* l = g.lines[i];
            if (*l == '\0') sink("\n");
            else if (*l == '\n') sink(l + 1);
            else sink(option_line(l));
        }
        sink("\n");
    }
}

}  // namespace

std::string usage_text(std::string_view banner) {
    std::string out;
    emit(banner, [&](const std::string& line) { out += line; });
    return out;
}

void print_usage(std::string_view banner) {
    emit(banner, [](const std::string& line) { std::fputs(line.c_str(), stderr); });
    std::fflush(stderr);
}

bool wants_usage(int argc, char** argv) {
    if (argc < 2) return true;
    for (int i = 1; i < argc; ++i) {
        if (!argv[i]) continue;
        if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "-help") || !std::strcmp(argv[i], "/?") ||
            !std::strcmp(argv[i], "--help"))
            return true;
    }
    return false;
}

}  // namespace skelvar
