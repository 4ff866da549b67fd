#include "support/completion_signal.h"

#include <fcntl.h>
#include <semaphore.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace skelvar {
namespace {

TEST(CompletionSignal, PostsTheSemaphoreOnce) {
    std::string name = "skelvar-test-" + std::to_string(::getpid());
    ASSERT_TRUE(signal_completion(name));
    sem_t* sem = ::sem_open(semaphore_name(name).c_str(), 0);
    ASSERT_NE(sem, SEM_FAILED);
    EXPECT_EQ(::sem_trywait(sem), 0);
    EXPECT_NE(::sem_trywait(sem), 0);
    ::sem_close(sem);
    ::sem_unlink(semaphore_name(name).c_str());
    EXPECT_FALSE(signal_completion(""));
    EXPECT_EQ(semaphore_name("/a/b"), "/a_b");
}

}  // namespace
}  // namespace skelvar
