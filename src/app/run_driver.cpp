#include "app/run_driver.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <system_error>

#include "app/arg_list.h"
#include "app/cmdline_ctx.h"
#include "app/header_text.h"
#include "app/mft_entries_ctx.h"
#include "app/option_driver.h"
#include "app/usage_text.h"
#include "ntfs/mft_source.h"
#include "ntfs/mft_walk.h"
#include "report/timeline_writer.h"
#include "support/completion_signal.h"
#include "support/console.h"
#include "support/uni_stream.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

constexpr int run_failed = -1;

void warn_leftovers(const arg_list& args) {
    for (const std::string& a : args.leftovers())
        console::message("warning: argument not recognised, ignored: %s\n", a.c_str());
}

void transfer_settings(const mft_entries_ctx& ctx, cmdline_ctx& guard) {
    guard.set_show_progress(ctx.show_progress);
    if (!ctx.diags_path.empty()) guard.set_diags_file(ctx.diags_path);
    guard.set_print_elapsed(ctx.profile);
    if (ctx.profile || !ctx.diags_path.empty()) guard.start_timer();
    if (!ctx.signal_name.empty()) guard.set_completion_signal(ctx.signal_name, &signal_completion);
}

bool create_output_directory(const std::string& path) {
    std::filesystem::path dir = std::filesystem::path(path).parent_path();
    if (dir.empty()) return true;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return std::filesystem::is_directory(dir, ec);
}

void open_source(mft_entries_ctx& ctx) {
    if (!ctx.mftfile_path.empty()) {
        ctx.source_label = uni::to_utf16(ctx.mftfile_path);
        ctx.source = open_mft_file(ctx.mftfile_path);
        if (!ctx.source || !ctx.source->ready())
            console::message("prob opening $MFT file %s, nothing to report\n", ctx.mftfile_path.c_str());
    }
}

// Entry-number lists alone are read directly; anything else walks the range.
void run_walks(mft_entries_ctx& ctx, std::ostream& results) {
    if (!ctx.source || !ctx.source->ready()) return;
    timeline_writer writer(ctx, results);
    entry_sink sink = [&writer](mft_entry_info& entry) { writer.write_entry_report(entry); };
    if (!ctx.filter_inodes.empty()) walk_entry_list(ctx, sink);
    else walk_mft_range(ctx, sink);
}

}  // namespace

int run_program(int argc, char** argv) {
    [[maybe_unused]] uni::utf8_locale code_pages;
    arg_list args(argc, argv);
    cmdline_ctx guard;
    std::string header;

    if (wants_usage(argc, argv)) {
        print_usage(banner_text());
        return 0;
    }
    header = compose_header(args.items(), filetime_now());
    std::fwrite(header.data(), 1, header.size(), stdout);
    std::fflush(stdout);

    std::unique_ptr<mft_entries_ctx> ctx(new (std::nothrow) mft_entries_ctx());
    if (!ctx) return run_failed;

    int rc = run_option_driver(*ctx, args, version_text, header, u"NTFS$MFT");
    if (rc == options_invalid) {
        console::message("invalid cmd options, aborting\n");
        return run_failed;
    }
    // A run without a source stops here too: there is nothing to walk.
    if (rc != options_ok) return run_failed;
    warn_leftovers(args);

    transfer_settings(*ctx, guard);

    if (ctx->has_out_file && !create_output_directory(ctx->out_path)) {
        console::message("prob creating archive file: %s, aborting\n", ctx->out_path.c_str());
        return run_failed;
    }

    uni::ofstream out_file;
    if (ctx->has_out_file) {
        if (ctx->append) out_file.open(ctx->out_path, std::ios::app);
        else out_file.open(ctx->out_path);
        if (!out_file) {
            console::message("prob opening file %s for output, aborting\n ", ctx->out_path.c_str());
            return run_failed;
        }
        out_file << header;
    }
    std::ostream& results = ctx->has_out_file ? static_cast<std::ostream&>(out_file) : std::cout;

    open_source(*ctx);
    run_walks(*ctx, results);

    results.flush();
    if (out_file.is_open()) out_file.close();
    ctx.reset();
    return 0;
}

}  // namespace skelvar
