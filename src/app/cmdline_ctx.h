// The entry point's console and exit guard: whatever the run set up on the
// console is undone, and the closing reports are made, on every return path.
#pragma once

#include <cstdint>
#include <string>

namespace skelvar {

class cmdline_ctx {
public:
    using signal_fn = bool (*)(const std::string& name);

    cmdline_ctx();
    virtual ~cmdline_ctx();
    cmdline_ctx(const cmdline_ctx&) = delete;
    cmdline_ctx& operator=(const cmdline_ctx&) = delete;

    void set_show_progress(bool on) { show_progress_ = on; }
    void set_print_elapsed(bool on) { print_elapsed_ = on; }
    void set_diags_file(std::string path) { diags_file_ = std::move(path); }
    void set_completion_signal(std::string name, signal_fn fn) {
        signal_name_ = std::move(name);
        signal_ = fn;
    }
    // Starts the clock for the elapsed-time report.
    void start_timer();

private:
    std::uint32_t saved_console_mode_ = 0;  // no console modes on POSIX: nothing to restore
    bool show_progress_ = false;
    std::int64_t start_ticks_ = 0;  // steady-clock nanoseconds; 0 = not timed
    bool print_elapsed_ = false;
    std::string diags_file_;
    std::string signal_name_;
    signal_fn signal_ = nullptr;
};

}  // namespace skelvar
