#include "app/run_driver.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <span>
#include <system_error>

#include "app/arg_list.h"
#include "app/cmdline_ctx.h"
#include "app/evidence_guard.h"
#include "app/header_text.h"
#include "app/mft_entries_ctx.h"
#include "app/multi_instance.h"
#include "app/option_driver.h"
#include "app/option_table.h"
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
    const std::vector<std::string> left = args.leftovers();
    for (std::size_t i = 0; i < left.size(); ++i) {
        // Only the last argument can be an option whose value is missing.
        if (i + 1 == left.size() && names_value_option(left[i]))
            console::message("warning: %s is missing its value (it stands last), ignored\n", left[i].c_str());
        else
            console::message("warning: argument not recognised, ignored: %s\n", left[i].c_str());
    }
}

// The debug log's file is named to the guard once it has been written.
void transfer_settings(const mft_entries_ctx& ctx, cmdline_ctx& guard) {
    guard.set_show_progress(ctx.show_progress);
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
    run_visitor(entry_selector& selector, report_sink& sink, std::ostream& results)
        : selector_(selector), sink_(sink), results_(results) {}
    preselection preselect(std::uint64_t n, bool in_use, mft_entry_info& entry) override {
        return selector_.preselect(n, in_use, entry);
    }
    bool select(mft_entry_info& entry, bool preselected) override { return selector_.select(entry, preselected); }
    void write(mft_entry_info& entry) override { sink_.write(entry); }
    // Every write is a whole line, so the results file ends at a line.
    void checkpoint() override { results_.flush(); }

private:
    entry_selector& selector_;
    report_sink& sink_;
    std::ostream& results_;
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

void run_walks(mft_entries_ctx& ctx, walk_plan plan, std::ostream& results) {
    const report_context context{ctx.output,  ctx.selection.window,      ctx.header,
                                 &ctx.paths,  &ctx.entries,             ctx.records.volume(),
                                 ctx.records.is_extracted_file(), &ctx.extraction};
    report_sink sink(context, results);
    entry_selector selector(ctx.selection, ctx.filters, ctx.header, ctx.records.volume(), ctx.output.hex_numbers);
    run_visitor visitor(selector, sink, results);
    mft_walk walk(ctx.entries, ctx.paths, ctx.walk, visitor);
    switch (plan) {
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

// The files this run writes: the results and the debug log.
bool refuse_evidence(const mft_entries_ctx& ctx, std::span<const evidence_file> evidence) {
    const written_file written[] = {{"results", ctx.has_out_file ? ctx.out_path : std::string()},
                                    {"diagnostics", ctx.diags_path}};
    const std::string refusal = evidence_refusal(written, evidence);
    if (refusal.empty()) return false;
    console::message("%s", refusal.c_str());
    return true;
}

// The walks of the $MFT need record 0; a source without a usable one is said
// to have nothing to report before the results file is touched.
bool mft_readable(mft_entries_ctx& ctx, walk_plan plan, std::uint64_t& count) {
    if (plan != walk_plan::range && plan != walk_plan::entry_list) return true;
    const status s = count_mft_entries(ctx.entries, count);
    report_walk(ctx, s);
    return s.ok();
}

int run_several(mft_entries_ctx& ctx, const std::vector<std::string>& typed, const std::string& header,
                std::uint64_t entry_count) {
    instance_settings s;
    s.instances = ctx.instances;
    s.args = typed;
    s.out_path = ctx.out_path;
    s.tempdir = ctx.tempdir;
    s.separate_files = ctx.separate_files;
    s.header_text = header;
    s.mft_start = ctx.walk.start;
    s.mft_range = ctx.walk.range;
    s.mft_entry_count = entry_count;
    s.column_line = !ctx.output.filepath_only && !ctx.output.jsonl;
    s.header_block = !ctx.output.jsonl;
    s.log = &ctx.diags;
    return run_instances(s).ok ? 0 : run_failed;
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
        if (args.has_flag("-version")) {
            std::printf("%s\n", banner_text().c_str());
            return 0;
        }
        header = compose_header(args.items(), filetime_now());
    }
    // JSON lines on standard output leave no room for the banner: it goes to standard error then.
    std::FILE* banner_out = args.has_flag("-jsonl") ? stderr : stdout;
    std::fwrite(header.data(), 1, header.size(), banner_out);
    std::fflush(banner_out);

    std::unique_ptr<mft_entries_ctx> ctx(new (std::nothrow) mft_entries_ctx());
    if (!ctx) return run_failed;

    // The children of a -cpu run get the arguments as typed; the driver removes what it reads.
    const std::vector<std::string> typed = args.items();
    int rc = run_option_driver(*ctx, args);
    if (rc == options_invalid) {
        console::message("invalid cmd options, aborting\n");
        return run_failed;
    }
    // A run without a source stops here too: there is nothing to walk.
    if (rc != options_ok) return run_failed;
    warn_leftovers(args);
    ctx->output.program_base_name = executable_base_name(args.items().empty() ? "" : args.items().front());

    const bool several = ctx->instances >= 2 && ctx->instance_index < 0;
    if (several && !check_instances(*ctx)) return run_failed;
    warn_unbuilt_options(*ctx);

    transfer_settings(*ctx, guard);

    // Nothing is written before the files written are known not to be the
    // evidence, and the source is opened and checked before the results file
    // is created, so a run that cannot read it leaves an earlier one as it was.
    if (refuse_evidence(*ctx, named_evidence(ctx->source))) return run_failed;
    ctx->filters = build_filters(ctx->selection, ctx->output.hex_numbers);
    const bool opened = open_run_source(*ctx);
    // Container libraries open segment files and parent disks of their own.
    const std::vector<evidence_file> held = held_evidence();
    if (refuse_evidence(*ctx, held)) return run_failed;
    // The copies never write through any of them either.
    if (ctx->extraction.copies())
        for (const evidence_file& e : held) ctx->extraction.evidence.push_back(e.id);
    if (!ctx->diags_path.empty() && ctx->diags.write_to(ctx->diags_path)) guard.set_diags_file(ctx->diags_path);
    if (!opened) return 0;
    complete_filters(ctx->filters, ctx->entries, ctx->paths, ctx->output.hex_numbers);
    const walk_plan plan = choose_walk(*ctx);
    std::uint64_t entry_count = 0;
    if (!mft_readable(*ctx, plan, entry_count)) return 0;

    if (ctx->has_out_file && !create_output_directory(ctx->out_path)) {
        console::message("prob creating archive file: %s, aborting\n", ctx->out_path.c_str());
        return run_failed;
    }
    if (several) return run_several(*ctx, typed, header, entry_count);

    uni::ofstream out_file;
    if (ctx->has_out_file) {
        if (ctx->append) out_file.open(ctx->out_path, std::ios::app);
        else out_file.open(ctx->out_path);
        if (!out_file) {
            console::message("prob opening file %s for output, aborting\n ", ctx->out_path.c_str());
            return run_failed;
        }
        // The first instance of a -cpu run appends under the header its parent wrote; JSON lines have none.
        if (!ctx->output.jsonl && !(ctx->append && ctx->instance_index >= 0)) out_file << header;
        out_file.flush();
    }
    std::ostream& results = ctx->has_out_file ? static_cast<std::ostream&>(out_file) : std::cout;

    run_walks(*ctx, plan, results);

    results.flush();
    if (out_file.is_open()) out_file.close();
    ctx.reset();
    return 0;
}

}  // namespace skelvar
