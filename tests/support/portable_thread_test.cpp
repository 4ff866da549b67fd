#include "support/portable_thread.h"

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
}

TEST(PortableThread, NothingToRunIsFinished) {
    portable_thread never, empty;
    EXPECT_TRUE(never.finished());
    empty.start(nullptr);
    ASSERT_TRUE(wait_finished(empty));
    EXPECT_FALSE(empty.started());
}

}  // namespace
}  // namespace skelvar
