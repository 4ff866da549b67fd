#include "app/option_driver.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/mft_entries_ctx.h"
#include "app/option_table.h"
#include "report/date_time.h"
#include "report/writer_choice.h"
#include "support/admin_rights.h"
#include "support/console.h"
#include "support/host_files.h"
#include "volume/volume_detection.h"

namespace skelvar {

namespace {

// Tells whether the results file can be written, so that an unusable path
// stops the run before anything is read, without leaving a trace: an existing
// file (even one that cannot be read) is opened for appending and not altered;
// for a missing one, and for a dangling symlink, whose target the real open
// would create, only the folder that would hold it is tested.
bool test_open_output(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return false;
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return false;
        ::close(fd);
        return true;
    }
    std::filesystem::path target(path);
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(target, ec))) {
        const std::filesystem::path link = std::filesystem::read_symlink(target, ec);
        if (ec) return false;
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool readable(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

bool live_source(const source_settings& s) { return s.drive_number >= 0 || !s.volume_path.empty(); }

// The files the evidence is read from: the copies never remove or write through them.
std::vector<file_identity> evidence_files(const source_settings& s) {
    std::vector<std::string> paths = s.vmdk_paths;
    for (const std::string* p : {&s.mftfile_path, &s.image_path, &s.volume_path, &s.mounted_vmdk_path})
        if (!p->empty()) paths.push_back(*p);
    std::vector<file_identity> ids;
    for (const std::string& p : paths)
        if (auto id = host_file_identity(p)) ids.push_back(*id);
    return ids;
}

// Settings one layer derives from options that belong to another.
void derive_layer_settings(mft_entries_ctx& ctx) {
    const report_options& o = ctx.output;
    ctx.decode.keep_zone_identifier = o.zone_info;
    ctx.decode.render_descriptors = o.record_dump;
    ctx.decode.file_by_holder = o.csvperpath;
    ctx.walk.show_progress = ctx.show_progress;
    ctx.walk.progress_interval = ctx.header.wanted ? 13 : 53;
    ctx.walk.record_offsets = o.filerecord_offset;
    ctx.walk.keep_record_bytes = o.record_dump;
    // The body file and the path list show no time notes or flags: the checks are skipped.
    const output_layout layout = choose_layout(o);
    ctx.walk.check_times = layout != output_layout::body_file && layout != output_layout::path_only;
    // A child of a -cpu run reports only the listed entries of its own slice.
    ctx.walk.list_in_range = ctx.instance_index >= 0;
    extraction_settings& x = ctx.extraction;
    x.show_progress = ctx.show_progress;
    if (ctx.instance_index >= 0) {
        char prefix[20];
        std::snprintf(prefix, sizeof prefix, "%llx", static_cast<unsigned long long>(ctx.instance_index));
        x.temp_prefix = prefix;
    }
    if (x.copies()) x.evidence = evidence_files(ctx.source);
}

}  // namespace

std::uint64_t filetime_now() {
    using namespace std::chrono;
    constexpr std::uint64_t unix_epoch_ticks = 116444736000000000ull;
    auto ticks = duration_cast<duration<std::int64_t, std::ratio<1, 10000000>>>(system_clock::now().time_since_epoch());
    return unix_epoch_ticks + static_cast<std::uint64_t>(ticks.count());
}

bool apply_generic_options(mft_entries_ctx& ctx, arg_list& args, const std::string& command_line) {
    option_state state{ctx, args, command_line};
    if (apply_options(generic_options(), state) != 0) return false;
    if (ctx.has_out_file && !test_open_output(ctx.out_path)) {
        console::message("prob opening file %s for output, aborting\n", ctx.out_path.c_str());
        return false;
    }
    return true;
}

// A disk-shaped source must hold the NTFS volume to examine: the volume offset
// is confirmed or chosen here, and the listing is shown only when it fails.
static bool validate_disk_source(source_settings& src) {
    std::string messages;
    std::uint64_t offset = src.volume_offset;
    const bool ignore_size = src.ignore_image_size && offset != 0;
    bool ok = true;
    if (!src.vmdk_paths.empty() && src.mftfile_path.empty())
        ok = validate_vmdk(src.vmdk_paths, offset, ignore_size, messages);
    else if (!src.image_path.empty() && src.mftfile_path.empty())
        ok = validate_image(src.image_path, offset, ignore_size, messages);
    else if (src.drive_number >= 0 && src.image_path.empty() && src.mftfile_path.empty())
        ok = validate_drive(src.drive_number, offset, ignore_size, messages);
    else
        return true;
    if (!ok) {
        std::fputs(messages.c_str(), stderr);
        return false;
    }
    src.volume_offset = offset;
    return true;
}

int apply_main_options(mft_entries_ctx& ctx, arg_list& args) {
    option_state state{ctx, args, std::string()};
    if (apply_options(main_options(), state) != 0) return options_stop;
    source_settings& src = ctx.source;
    // Checked once every option is known good, so a bad option touches no source.
    if (!src.image_path.empty() && !readable(src.image_path)) {
        console::message("prob reading: %s, aborting\n,", src.image_path.c_str());
        return options_stop;
    }
    if (!validate_disk_source(src)) return options_stop;
    if (src.indx_path.empty() && !src.any()) {
        console::message(
            "error: need to specify at least an input source [-mftfile, -image, -drivenum, -partition, -vmdk]\n");
        return options_no_source;
    }
    return options_ok;
}

int run_option_driver(mft_entries_ctx& ctx, arg_list& args) {
    if (args.size() < 2) return options_invalid;
    const std::uint64_t started = filetime_now();
    ctx.decode.reference_time = started + one_hour_ticks;
    ctx.walk.reference_time = started;

    std::string command_line = join_command_line(args.items());
    option_state state{ctx, args, command_line};
    if (apply_options(driver_options(), state) != 0) return options_stop;

    if (!apply_generic_options(ctx, args, command_line)) return options_invalid;
    if (int rc = apply_main_options(ctx, args); rc != options_ok) return rc;

    // A pattern without month or year is accepted; such dates are written empty.
    report_options& o = ctx.output;
    compile_date_time_format(o.date_pattern, o.time_pattern, o.pair_datetime, o.time_format);
    derive_layer_settings(ctx);

    // Without rights the run still goes on: opening the device reports its own failure.
    if (live_source(ctx.source) && !process_is_admin()) {
        console::message("command prompt not running w/ admin privileges...\n");
        console::message("[which is needed for examining live drives/partitions]\n");
        console::message("need to restart cmd prompt using \"Run As Administrator\" option...\n");
        console::message("\n");
    }
    return options_ok;
}

}  // namespace skelvar
