#include "support/portable_thread.h"

#include <atomic>
#include <chrono>
#include <semaphore>
#include <thread>

#include <gtest/gtest.h>

namespace skelvar {
namespace {

using std::chrono::milliseconds;
using clock_type = std::chrono::steady_clock;

// Polls as the instance runner does; false when it took more than five seconds.
bool wait_finished(portable_thread& t) {
    const auto until = clock_type::now() + milliseconds(5000);
    while (!t.finished()) {
        if (clock_type::now() > until) return false;
        std::this_thread::sleep_for(milliseconds(1));
    }
    return true;
}

TEST(PortableThread, FinishedOnlyOnceTheFunctionHasReturned) {
    std::binary_semaphore hold{0};
    portable_thread t;
    ASSERT_TRUE(t.start([&] {
        hold.acquire();
        return 7u;
    }));
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_FALSE(t.finished());
    hold.release();
    ASSERT_TRUE(wait_finished(t));
    EXPECT_FALSE(t.started());

    // Returning at once still waits out the start delay.
    const auto restarted = clock_type::now();
    ASSERT_TRUE(t.start([] { return 0u; }));
    ASSERT_TRUE(wait_finished(t));
    EXPECT_GE(clock_type::now() - restarted, milliseconds(50));
}

TEST(PortableThread, NothingToRunIsFinishedAndDeleteWhenDoneDeletes) {
    portable_thread never, empty;
    EXPECT_TRUE(never.finished());
    empty.start(nullptr);
    ASSERT_TRUE(wait_finished(empty));
    EXPECT_FALSE(empty.started());

    static std::atomic<bool> destroyed{false};
    struct observed : portable_thread {
        ~observed() override { destroyed = true; }
    };
    auto* t = new observed;
    t->set_delete_when_done(true);
    ASSERT_TRUE(t->start([] { return 0u; }));
    for (int i = 0; i < 5000 && !destroyed; ++i) std::this_thread::sleep_for(milliseconds(1));
    EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace skelvar
