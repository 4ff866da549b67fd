#include "app/multi_instance.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

#include "app/arg_list.h"
#include "app/instance_merge.h"
#include "app/instance_plan.h"
#include "support/append_file.h"
#include "support/child_process.h"
#include "support/console.h"
#include "support/diag_log.h"
#include "support/portable_thread.h"

namespace skelvar {

namespace {

constexpr auto poll_interval = std::chrono::milliseconds(50);

struct instance_run {
    std::vector<std::string> argv;
    std::string file;
    child_outcome outcome;
    std::unique_ptr<portable_thread> thread;
};

std::uint64_t file_size(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    return ec ? 0 : static_cast<std::uint64_t>(size);
}

instance_status failure(const std::string& message) {
    console::message("%s", message.c_str());
    return {false, message};
}

// The merge target starts with the header block of this run; returns its size.
std::optional<std::uint64_t> create_target(const instance_settings& s, append_file& target) {
    if (!target.create(s.out_path)) {
        if (s.log) s.log->line("prob writing to output file: %s", s.out_path.c_str());
        return std::nullopt;
    }
    const std::string header = s.header_block ? merged_header(s.header_text) : std::string();
    if (header.empty() && s.header_block && s.log) s.log->line("banner not present");
    if (!target.write(header)) return std::nullopt;
    return header.size();
}

void start_instance(const instance_settings& s, instance_run& run) {
    if (s.log) s.log->line("info: instance: %s", join_command_line(run.argv).c_str());
    run.thread = std::make_unique<portable_thread>();
    const bool started = run.thread->start([&s, &run] {
        run.outcome = run_child(s.executable, run.argv);
        return run.outcome.started ? 0u : 1u;
    });
    if (!started) run.outcome.problem = "no thread for it";
}

void finish(instance_run& run, unsigned k) {
    console::message("instance %2d done\n", static_cast<int>(k));
    run.thread.reset();
    if (!run.outcome.started)
        console::message("prob starting instance %d: %s\n", static_cast<int>(k), run.outcome.problem.c_str());
}

void wait_for(instance_run& run, unsigned k) {
    while (!run.thread->finished()) std::this_thread::sleep_for(poll_interval);
    finish(run, k);
}

// Appends the data of instance file `run` at `at` while its child may still be writing it: the file only
// grows and what lies below its size is final, so once the slices before it are merged the copy of this
// one runs beside its child instead of after it. True when the file gave a data start.
bool merge_following(const instance_settings& s, instance_run& run, unsigned k, bool skip_column_line,
                     append_file& target, std::uint64_t& at, bool& write_ok) {
    std::optional<std::uint64_t> copied;  // taken up to here, once the data start is known
    bool no_data = false;
    for (;;) {
        const bool finished = run.thread->finished();
        const std::uint64_t size = file_size(run.file);
        // The first bytes searched for the data start never change once written.
        if (!copied && !no_data && (finished || size >= merge_scan_bytes)) {
            if (!s.header_block) {
                copied = 0;
            } else if (const auto data = locate_instance_data(run.file, skip_column_line, finished ? s.log : nullptr)) {
                copied = data->start;
            } else {
                no_data = true;
            }
        }
        if (copied && size > *copied) {
            write_ok = target.copy_at(run.file, *copied, size - *copied, at) && write_ok;
            at += size - *copied;
            copied = size;
            continue;
        }
        if (finished) {
            finish(run, k);
            return copied.has_value();
        }
        std::this_thread::sleep_for(poll_interval);
    }
}

}  // namespace

instance_status run_instances(const instance_settings& s) {
    const std::uint64_t total = s.mft_range ? s.mft_range : s.mft_entry_count;
    if (total == 0) return failure("prob handling your options, aborting\n");
    if (s.out_path.empty())
        return failure("Need to specify an output file to put the merged results in [-out <file>]\n");

    const std::string folder = instance_folder(s.tempdir, s.out_path, s.separate_files);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec))
        return failure("prob creating folder for the instance files: " + folder + ", aborting\n");

    append_file target;
    std::uint64_t header_size = 0;
    if (s.separate_files) {
        std::remove(s.out_path.c_str());
    } else if (const auto size = create_target(s, target)) {
        header_size = *size;
    } else {
        return failure("prob writing to output file: " + s.out_path + "\n");
    }

    const std::vector<std::string> base = instance_base_args(s.args);
    const std::vector<instance_slice> slices = plan_slices(s.instances, s.mft_start, total, s.mft_range != 0);
    // Filled before any thread starts: each worker holds a reference to its entry. The first
    // instance appends straight to the merge target after its header (a child appending writes
    // no header block of its own), so its data, about a share of the whole, is never copied.
    std::vector<instance_run> runs(slices.size());
    for (unsigned k = 0; k < runs.size(); ++k) {
        const bool direct = k == 0 && !s.separate_files;
        runs[k].file = s.separate_files ? separate_file_path(folder, s.out_path, k)
                       : direct         ? s.out_path
                                        : temp_file_path(folder, k);
        runs[k].argv = child_args(base, slices[k], k, runs[k].file);
        if (direct) runs[k].argv.emplace_back("-append");
    }
    for (instance_run& run : runs) start_instance(s, run);
    console::message("%2d instances spawned\n", static_cast<int>(runs.size()));

    std::uint64_t at = header_size;
    bool write_ok = true;
    bool have_column_line = false;
    for (unsigned k = 0; k < runs.size(); ++k) {
        instance_run& run = runs[k];
        if (s.separate_files || k == 0) {
            wait_for(run, k);
            if (!s.separate_files) {
                // Written in place: the data of the next ones go after what it left.
                at = std::max(at, file_size(s.out_path));
                have_column_line = at > header_size;
            }
            continue;
        }
        // Until a file has given the column line, the next one keeps its own.
        if (merge_following(s, run, k, have_column_line && s.column_line, target, at, write_ok))
            have_column_line = true;
        std::remove(run.file.c_str());
    }
    if (!target.close() || !write_ok) return failure("prob writing to output file: " + s.out_path + "\n");
    return {true, std::string()};
}

}  // namespace skelvar
