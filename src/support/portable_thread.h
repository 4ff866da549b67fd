// One function on a thread of its own, with a finished state the owner polls
// instead of blocking in a join (the instance runner waits on several this way).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <semaphore>
#include <thread>

namespace skelvar {

class portable_thread {
public:
    using user_function = std::function<std::uint32_t()>;
    static constexpr std::uint32_t no_function_result = 0xFFFFFFFFu;

    portable_thread() = default;
    portable_thread(const portable_thread&) = delete;
    portable_thread& operator=(const portable_thread&) = delete;
    // Waits for a function still running (it may use this object).
    virtual ~portable_thread();

    // Runs `fn` on a new thread after a 50 ms start delay. The thread is held
    // until the flags are set, so a function that returns at once is still
    // seen finishing. False when no thread could be created.
    bool start(user_function fn);

    // False while the function runs; then forgets the thread and returns true
    // (also at once when nothing was started).
    bool finished();

    // The thread destroys this object (made with new) once the function has
    // returned; the owner must then neither poll it nor delete it.
    void set_delete_when_done(bool on) { delete_when_done_ = on; }

    bool started() const { return started_.load(); }

private:
    std::uint32_t trampoline();

    std::thread thread_;
    user_function fn_;
    std::atomic<bool> started_{false};
    std::atomic<bool> alive_{false};
    bool delete_when_done_ = false;
    std::binary_semaphore resume_{0};
};

}  // namespace skelvar
