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
#include "app/unbuilt_options.h"
#include "app/usage_text.h"
#include "app/walk_choice.h"
#include "ntfs/entry_visitor.h"
#include "ntfs/mft_walk.h"
#include "ntfs/source_opening.h"
#include "report/writer_choice.h"
#include "select/entry_selector.h"
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
bool open_run_source(mft_entries_ctx& ctx) {
    const status s = open_source(ctx.source, ctx.show_progress, ctx.records);
    if (!s) {
        const char* kind = ctx.source.mftfile_path.empty() ? "" : "$MFT file ";
        console::message("prob opening %s%s: %s, nothing to report\n", kind, ctx.source.name().c_str(),
                         s.reason().c_str());
        return false;
    }
    // An extracted $MFT and a VMDK chain are named in each entry; other sources keep "NTFS$MFT".
    if (!ctx.source.mftfile_path.empty() || !ctx.source.vmdk_paths.empty())
        ctx.walk.source_label = uni::to_utf16(ctx.source.name());
    return true;
}

// A walk that could not start says why; the run goes on (its exit code stays 0).
void report_walk(const mft_entries_ctx& ctx, const status& s) {
    if (!s)
        console::message("prob reading the $MFT of %s: %s, nothing to report\n", ctx.source.name().c_str(),
                         s.reason().c_str());
}

void show_status(const mft_entries_ctx& ctx, const char* text) {
    if (ctx.show_progress) console::message("%s\n", text);
}

// The walk's view of the layers above it: selection, then the chosen layout.
class run_visitor final : public entry_visitor {
public:
    run_visitor(entry_selector& selector, report_sink& sink) : selector_(selector), sink_(sink) {}
    preselection preselect(std::uint64_t n, bool in_use, mft_entry_info& entry) override {
        return selector_.preselect(n, in_use, entry);
    }
    bool select(mft_entry_info& entry, bool preselected) override { return selector_.select(entry, preselected); }
    void write(mft_entry_info& entry) override { sink_.write(entry); }

private:
    entry_selector& selector_;
    report_sink& sink_;
};

// Records left in free clusters, each marked as carved. A source without
// clusters (an extracted $MFT) or without a readable $Bitmap says so.
void scan_unallocated(mft_entries_ctx& ctx, mft_walk& walk) {
    ctx.walk.source_label = u"NTFS:UNALLOC";
    if (const status s = walk.walk_unallocated(); !s)
        console::message("prob scanning the unallocated clusters of %s: %s, nothing carved\n",
                         ctx.source.name().c_str(), s.reason().c_str());
}

// The $MFT walk, then the scan of unallocated clusters. The deleted-only
// test belongs to the $MFT half: carved records are all unallocated.
void mft_then_unallocated(mft_entries_ctx& ctx, mft_walk& walk) {
    show_status(ctx, "\n- scanning MFT records from $MFT");
    report_walk(ctx, walk.walk_range());
    if (ctx.show_progress)
        console::message("finished scanning MFT records from $MFT... proceeding to unallocated clusters\n");
    ctx.selection.deleted_only = false;
    ctx.unalloc_scan = true;
    ctx.selection.and_logic = true;
    show_status(ctx, "- scanning MFT records from unallocated space");
    scan_unallocated(ctx, walk);
}

void run_walks(mft_entries_ctx& ctx, std::ostream& results) {
    const report_context context{ctx.output,  ctx.selection.window,      ctx.header,
                                 &ctx.paths,  &ctx.entries,             ctx.records.volume(),
                                 ctx.records.is_extracted_file(), &ctx.extraction};
    report_sink sink(context, results);
    entry_selector selector(ctx.selection, ctx.filters, ctx.header, ctx.records.volume(), ctx.output.hex_numbers);
    run_visitor visitor(selector, sink);
    mft_walk walk(ctx.entries, ctx.paths, ctx.walk, visitor);
    switch (choose_walk(ctx)) {
    case walk_plan::entry_list: {
        std::vector<std::uint64_t> listed;
        for (const auto& [n, item] : ctx.filters.entries) listed.push_back(n);
        report_walk(ctx, walk.walk_list(listed));
        break;
    }
    case walk_plan::all_clusters:
        ctx.selection.deleted_only = false;
        ctx.selection.and_logic = false;
        mft_then_unallocated(ctx, walk);
        break;
    case walk_plan::deleted_all:
        ctx.selection.deleted_only = true;
        ctx.selection.and_logic = true;
        mft_then_unallocated(ctx, walk);
        break;
    case walk_plan::unallocated_only:
        scan_unallocated(ctx, walk);
        break;
    case walk_plan::range:
        report_walk(ctx, walk.walk_range());
        break;
    }
    sink.finish();
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

    int rc = run_option_driver(*ctx, args);
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
        console::message("warning: -cpu: multi-instance processing is not built yet; running as one instance\n");
    }
    warn_unbuilt_options(*ctx);

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

    ctx->filters = build_filters(ctx->selection, ctx->output.hex_numbers);
    if (open_run_source(*ctx)) {
        complete_filters(ctx->filters, ctx->entries, ctx->paths, ctx->output.hex_numbers);
        run_walks(*ctx, results);
    }

    results.flush();
    if (out_file.is_open()) out_file.close();
    ctx.reset();
    return 0;
}

}  // namespace skelvar
