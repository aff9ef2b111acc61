// FileLock: holders of one lock file take turns, and a lock file that
// cannot be made is a failure, not a lock.
#include "platform/file.h"

#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(FileLock, HoldersTakeTurns) {
    TempCwd cwd;
    const std::string path = cwd.path("store.lock");
    {
        platform::FileLock lock;
        const platform::Outcome<void> locked = lock.acquire(path);
        ASSERT_TRUE(locked) << locked.failure().message();
        EXPECT_EQ(platform::path_kind(path), platform::PathKind::file);
    }
    // Each step reads the count, lets the other thread run and writes it
    // back one higher: without the lock, steps of the two threads overlap
    // and counts are lost.
    constexpr int steps = 200;
    std::atomic<int> count{0};
    std::atomic<int> failures{0};
    const auto work = [&] {
        for (int i = 0; i < steps; ++i) {
            platform::FileLock lock;
            if (!lock.acquire(path)) {
                ++failures;
                continue;
            }
            const int seen = count.load(std::memory_order_relaxed);
            std::this_thread::yield();
            count.store(seen + 1, std::memory_order_relaxed);
        }
    };
    std::vector<std::thread> threads;
    threads.emplace_back(work);
    threads.emplace_back(work);
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(count.load(), 2 * steps);
}

TEST(FileLock, MissingFolderIsAFailure) {
    TempCwd cwd;
    platform::FileLock lock;
    EXPECT_FALSE(lock.acquire(cwd.path("missing/store.lock")));
    EXPECT_EQ(platform::path_kind(cwd.path("missing")), platform::PathKind::missing);
    EXPECT_FALSE(lock.acquire(""));
}

} // namespace
