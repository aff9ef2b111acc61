// The time-out timer: it ends the process with its code once the time has
// passed, in whatever the process is doing then, and not before. And the
// process number, which is kept once asked for.
#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// run_then_exit keeps the process running (sleeping and computing) for up to `ms`
// milliseconds, then ends it with code 0.
[[noreturn]] void run_then_exit(unsigned ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    volatile unsigned sum = 0;
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        for (unsigned i = 0; i < 10000; ++i)
            sum = sum + i;
    }
    platform::exit_process_now(0);
}

TEST(ExitTimerDeathTest, EndsTheProcessWithItsCodeOnceTheTimeHasPassed) {
    EXPECT_EXIT(
        {
            if (platform::end_process_after(50, 2))
                run_then_exit(60000);
            platform::exit_process_now(9);
        },
        testing::ExitedWithCode(2), "");
}

TEST(ExitTimerDeathTest, EndsAProcessBlockedInAnotherThread) {
    // The main thread waits for a thread that never ends.
    EXPECT_EXIT(
        {
            if (!platform::end_process_after(30, 3))
                platform::exit_process_now(9);
            std::thread([] { run_then_exit(60000); }).join();
        },
        testing::ExitedWithCode(3), "");
}

TEST(ExitTimerDeathTest, TheLastCallSetsTheTimeAndTheCode) {
    // Re-armed with a time in seconds: the first, short time no longer
    // counts, and a process that ends by itself first keeps its own code.
    EXPECT_EXIT(
        {
            if (!platform::end_process_after(20, 4) || !platform::end_process_after(60000, 5))
                platform::exit_process_now(9);
            run_then_exit(300);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            if (!platform::end_process_after(60000, 4) || !platform::end_process_after(20, 5))
                platform::exit_process_now(9);
            run_then_exit(60000);
        },
        testing::ExitedWithCode(5), "");
}

TEST(ExitTimerDeathTest, ZeroEndsTheProcessAtOnce) {
    EXPECT_EXIT(
        {
            if (platform::end_process_after(0, 6))
                run_then_exit(60000);
            platform::exit_process_now(9);
        },
        testing::ExitedWithCode(6), "");
}

TEST(ProcessIdTest, AForkedChildHasItsOwnNumber) {
    // The parent's number is asked for (and kept) before the fork.
    EXPECT_EQ(platform::current_process_id(), static_cast<std::uint32_t>(getpid()));
    const pid_t child = fork();
    if (child == 0)
        _exit(platform::current_process_id() == static_cast<std::uint32_t>(getpid()) ? 0 : 1);
    ASSERT_GT(child, 0);
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

} // namespace
