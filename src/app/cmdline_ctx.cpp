#include "app/cmdline_ctx.h"

#include <chrono>
#include <cstdio>
#include <fstream>

#include "support/console.h"

namespace skelvar {

namespace {

std::int64_t steady_now() {
    auto t = std::chrono::steady_clock::now().time_since_epoch();
    std::int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t).count();
    return ns == 0 ? 1 : ns;
}

}  // namespace

cmdline_ctx::cmdline_ctx() = default;

void cmdline_ctx::start_timer() { start_ticks_ = steady_now(); }

cmdline_ctx::~cmdline_ctx() {
    // Step 1 (restoring the console mode) has nothing to do on POSIX.
    (void)saved_console_mode_;
    if (show_progress_) console::erase_progress();
    if (start_ticks_ != 0) {
        double seconds = static_cast<double>(steady_now() - start_ticks_) / 1e9;
        char text[64];
        std::snprintf(text, sizeof text, "->%.3f secs", seconds);
        if (print_elapsed_) std::fprintf(stderr, "%s\n", text);
        if (!diags_file_.empty()) {
            std::ofstream log(diags_file_, std::ios::app);
            if (log) log << text << '\n';
        }
    }
    if (!signal_name_.empty() && signal_) signal_(signal_name_);
    std::fflush(stderr);
}

}  // namespace skelvar
