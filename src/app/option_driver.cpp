#include "app/option_driver.h"

#include <chrono>
#include <cstdio>

#include "app/mft_entries_ctx.h"
#include "app/option_table.h"
#include "report/date_time.h"
#include "support/admin_rights.h"
#include "support/console.h"
#include "volume/volume_detection.h"

namespace skelvar {

namespace {

constexpr std::uint64_t one_hour_ticks = 36000000000ull;

// Opens the results file once so that an unusable path stops the run before
// anything is read. Nothing is left behind: a file that did not exist is
// removed again, an existing one is opened for appending and so not altered.
bool test_open_output(const std::string& path) {
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    bool existed = probe != nullptr;
    if (probe) std::fclose(probe);
    std::FILE* f = std::fopen(path.c_str(), existed ? "ab" : "wb");
    if (!f) return false;
    std::fclose(f);
    if (!existed) std::remove(path.c_str());
    return true;
}

bool readable(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

bool has_source(const mft_entries_ctx& ctx) {
    return !ctx.volume_path.empty() || !ctx.image_path.empty() || !ctx.mftfile_path.empty() ||
           ctx.drive_number >= 0 || !ctx.vmdk_paths.empty() || !ctx.mounted_vmdk_path.empty();
}

bool live_source(const mft_entries_ctx& ctx) { return ctx.drive_number >= 0 || !ctx.volume_path.empty(); }

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
static bool validate_disk_source(mft_entries_ctx& ctx) {
    std::string messages;
    std::uint64_t offset = ctx.volume_offset;
    const bool ignore_size = ctx.ignore_image_size && offset != 0;
    bool ok = true;
    if (!ctx.vmdk_paths.empty() && ctx.mftfile_path.empty())
        ok = validate_vmdk(ctx.vmdk_paths, offset, ignore_size, messages);
    else if (!ctx.image_path.empty() && ctx.mftfile_path.empty())
        ok = validate_image(ctx.image_path, offset, ignore_size, messages);
    else if (ctx.drive_number >= 0 && ctx.image_path.empty() && ctx.mftfile_path.empty())
        ok = validate_drive(ctx.drive_number, offset, ignore_size, messages);
    else
        return true;
    if (!ok) {
        std::fputs(messages.c_str(), stderr);
        return false;
    }
    ctx.volume_offset = offset;
    return true;
}

int apply_main_options(mft_entries_ctx& ctx, arg_list& args) {
    option_state state{ctx, args, std::string()};
    if (apply_options(main_options(), state) != 0) return options_stop;
    // Checked once every option is known good, so a bad option touches no source.
    if (!ctx.image_path.empty() && !readable(ctx.image_path)) {
        console::message("prob reading: %s, aborting\n,", ctx.image_path.c_str());
        return options_stop;
    }
    if (!validate_disk_source(ctx)) return options_stop;
    if (ctx.indx_path.empty() && !has_source(ctx)) {
        console::message(
            "error: need to specify at least an input source [-mftfile, -image, -drivenum, -partition, -vmdk]\n");
        return options_no_source;
    }
    return options_ok;
}

int run_option_driver(mft_entries_ctx& ctx, arg_list& args, std::string_view version_text,
                      std::string_view header_text, std::u16string_view default_label) {
    ctx.source_label = default_label.empty() ? std::u16string(u"NTFS$MFT") : std::u16string(default_label);
    if (args.size() < 2) return options_invalid;
    ctx.reference_time = filetime_now() + one_hour_ticks;

    std::string command_line = join_command_line(args.items());
    option_state state{ctx, args, command_line};
    if (apply_options(driver_options(), state) != 0) return options_stop;

    if (!apply_generic_options(ctx, args, command_line)) return options_invalid;

    ctx.version_text = std::string(version_text);
    ctx.header_text = std::string(header_text);

    if (int rc = apply_main_options(ctx, args); rc != options_ok) return rc;

    // A pattern without month or year is accepted; such dates are written empty.
    compile_date_time_format(ctx.date_pattern, ctx.time_pattern, ctx.pair_datetime, ctx.time_format);

    // Without rights the run still goes on: opening the device reports its own failure.
    if (live_source(ctx) && !process_is_admin()) {
        console::message("command prompt not running w/ admin privileges...\n");
        console::message("[which is needed for examining live drives/partitions]\n");
        console::message("need to restart cmd prompt using \"Run As Administrator\" option...\n");
        console::message("\n");
    }
    return options_ok;
}

}  // namespace skelvar
