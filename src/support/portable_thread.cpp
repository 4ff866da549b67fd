#include "support/portable_thread.h"

#include <chrono>
#include <system_error>

namespace skelvar {

portable_thread::~portable_thread() {
    if (!thread_.joinable()) return;
    // Deleted by its own thread: nothing to wait for.
    if (thread_.get_id() == std::this_thread::get_id()) thread_.detach();
    else thread_.join();
}

bool portable_thread::start(user_function fn) {
    if (thread_.joinable()) return false;
    fn_ = std::move(fn);
    try {
        thread_ = std::thread([this] { trampoline(); });
    } catch (const std::system_error&) {
        return false;
    }
    started_ = true;
    alive_ = true;
    // From here on a self-deleting object may be gone: it is not touched again.
    resume_.release();
    return true;
}

std::uint32_t portable_thread::trampoline() {
    resume_.acquire();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!fn_) {
        started_ = false;
        return no_function_result;
    }
    const std::uint32_t result = fn_();
    const bool self_delete = delete_when_done_;
    alive_ = false;
    if (self_delete) delete this;
    return result;
}

bool portable_thread::finished() {
    if (started_ && thread_.joinable() && alive_) return false;
    started_ = false;
    alive_ = false;
    // The function has returned: the join only waits for the trampoline's return.
    if (thread_.joinable()) thread_.join();
    return true;
}

}  // namespace skelvar
