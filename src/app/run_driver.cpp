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
#include "app/walk_choice.h"
#include "ntfs/source_opening.h"
#include "ntfs/mft_source.h"
#include "ntfs/mft_walk.h"
#include "report/writer_choice.h"
#include "select/filter_building.h"
#include "support/completion_signal.h"
#include "support/console.h"
#include "support/uni_stream.h"
#include "support/utf8.h"
#include "support/wow64_redirect.h"

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

// Opening prints nothing itself: the reason a source cannot be read is said here.
void open_run_source(mft_entries_ctx& ctx) {
    if (open_source(ctx)) return;
    if (!ctx.mftfile_path.empty())
        console::message("prob opening $MFT file %s, nothing to report\n", ctx.mftfile_path.c_str());
    else if (!ctx.image_path.empty())
        console::message("prob opening NTFS volume in %s at offset 0x%llx, nothing to report\n",
                         ctx.image_path.c_str(), static_cast<unsigned long long>(ctx.volume_offset));
    else
        console::message("prob opening the source, nothing to report\n");
}

bool source_open(const mft_entries_ctx& ctx) { return ctx.source && ctx.source->ready(); }

void show_status(mft_entries_ctx& ctx, const char* text) {
    ctx.status_text = text;
    if (ctx.show_progress) console::message("%s\n", text);
}

// Carving needs the clusters of a volume; an extracted $MFT has none, so
// there is nothing to scan until a volume source is open.
void scan_unallocated(mft_entries_ctx& ctx, const entry_sink&) {
    ctx.source_label = u"NTFS:UNALLOC";
}

// The $MFT walk, then the scan of unallocated clusters. The deleted-only
// test belongs to the $MFT half: carved records are all unallocated.
void mft_then_unallocated(mft_entries_ctx& ctx, const entry_sink& sink) {
    show_status(ctx, "\n- scanning MFT records from $MFT");
    walk_mft_range(ctx, sink);
    if (ctx.show_progress)
        console::message("finished scanning MFT records from $MFT... proceeding to unallocated clusters\n");
    ctx.deleted_only = false;
    ctx.unalloc_scan = true;
    ctx.and_logic = true;
    show_status(ctx, "- scanning MFT records from unallocated space");
    scan_unallocated(ctx, sink);
}

void run_walks(mft_entries_ctx& ctx, std::ostream& results) {
    if (!source_open(ctx)) return;
    report_sink writer(ctx, results);
    entry_sink sink = [&writer](mft_entry_info& entry) { writer.write(entry); };
    switch (choose_walk(ctx)) {
    case walk_plan::entry_list:
        walk_entry_list(ctx, sink);
        break;
    case walk_plan::all_clusters:
        ctx.deleted_only = false;
        ctx.and_logic = false;
        mft_then_unallocated(ctx, sink);
        break;
    case walk_plan::deleted_all:
        ctx.deleted_only = true;
        ctx.and_logic = true;
        mft_then_unallocated(ctx, sink);
        break;
    case walk_plan::unallocated_only:
        scan_unallocated(ctx, sink);
        break;
    case walk_plan::range:
        walk_mft_range(ctx, sink);
        break;
    }
    writer.finish();
}

// Several instances need a merge target and cover the $MFT only.
bool check_instances(const mft_entries_ctx& ctx) {
    if (!ctx.has_out_file) {
        console::message("Need to specify an output file to put the merged results in [-out <file>]\n");
        return false;
    }
    if (ctx.deleted_all || ctx.unalloc_scan || ctx.all_clusters) {
        console::message("The -cpu option only supports MFT analysis\n");
        return false;
    }
    return true;
}

}  // namespace

int run_program(int argc, char** argv) {
    [[maybe_unused]] uni::utf8_locale code_pages;
    arg_list args(argc, argv);
    cmdline_ctx guard;
    std::string header;

    {
        wow64_redirect_adt redirect_off;
        if (wants_usage(argc, argv)) {
            print_usage(banner_text());
            return 0;
        }
        header = compose_header(args.items(), filetime_now());
    }
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

    if (ctx->instances >= 2) {
        if (!check_instances(*ctx)) return run_failed;
        console::message("multi-instance processing is not offered in this build; running as one instance\n");
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

    open_run_source(*ctx);
    complete_filters(*ctx);
    run_walks(*ctx, results);

    results.flush();
    if (out_file.is_open()) out_file.close();
    ctx.reset();
    return 0;
}

}  // namespace skelvar
