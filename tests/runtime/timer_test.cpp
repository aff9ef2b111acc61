// vvIntervalTimer: due times and the elapsed argument, skipped and caught-up
// periods after a late call, pause, restart, stop from the callback and a
// destruction that does not wait out the timer's sleep.
#include "runtime/thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long long ms_since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

void sleep_ms(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Recorder keeps the elapsed argument of every call; the timer reaches it
// through its user data.
struct Recorder {
    unsigned blockFirstMs = 0;  // the first call blocks this long
    std::size_t stopAtCall = 0; // call number that requests the stop
    bool throwAtFirst = false;

    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::uint32_t> elapsed;

    std::vector<std::uint32_t> calls() {
        std::lock_guard<std::mutex> lock(mutex);
        return elapsed;
    }
    std::size_t count() { return calls().size(); }
    // wait_calls waits up to `ms` milliseconds for `n` calls.
    bool wait_calls(std::size_t n, int ms = 5000) {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(ms),
                           [&] { return elapsed.size() >= n; });
    }
};

void record(std::uint32_t elapsed, vvIntervalTimer* timer) {
    auto* r = static_cast<Recorder*>(timer->user_data());
    std::size_t n;
    {
        std::lock_guard<std::mutex> lock(r->mutex);
        r->elapsed.push_back(elapsed);
        n = r->elapsed.size();
        r->cv.notify_all();
    }
    if (n == 1 && r->throwAtFirst)
        throw std::runtime_error("callback");
    if (n == 1 && r->blockFirstMs != 0)
        sleep_ms(static_cast<int>(r->blockFirstMs));
    if (n == r->stopAtCall)
        timer->request_stop();
}

TEST(VvIntervalTimer, CallsComeAtDueTimesFromOnePeriodOn) {
    struct Case {
        std::uint32_t period;
        std::uint32_t expectedPeriod;
        std::size_t calls;
    };
    const Case cases[] = {
        {50, 50, 4}, {0, 1000, 1}, // 0 means one second
    };
    for (const auto& c : cases) {
        Recorder rec;
        vvIntervalTimer timer(c.period, record, true, &rec, false, false);
        EXPECT_EQ(timer.period(), c.expectedPeriod);
        EXPECT_EQ(timer.user_data(), &rec);
        EXPECT_EQ(timer.name(), "vvIntervalTimer");
        EXPECT_TRUE(timer.is_running());
        ASSERT_TRUE(rec.wait_calls(c.calls, 5000)) << c.period;
        const auto calls = rec.calls();
        EXPECT_LT(calls[0], c.expectedPeriod + 1500) << c.period;
        for (std::size_t k = 0; k < c.calls; ++k) {
            // The k-th call is due at (k+1) periods and never comes early.
            EXPECT_GE(calls[k], (k + 1) * c.expectedPeriod) << c.period << " call " << k;
        }
    }
}

TEST(VvIntervalTimer, DestructionEndsTheTimersSleepAtOnce) {
    for (bool paused : {false, true}) {
        Recorder rec;
        auto* timer = new vvIntervalTimer(1000, record, true, &rec, paused, false);
        sleep_ms(50); // the timer thread is asleep now
        const auto start = Clock::now();
        delete timer;
        EXPECT_LT(ms_since(start), 500) << paused;
        EXPECT_EQ(rec.count(), 0u);
    }
}

TEST(VvIntervalTimer, LateCallSkipsOrCatchesUpMissedPeriods) {
    // The first call blocks for 3.5 periods, so the due times 2, 3 and 4
    // periods pass during it.
    const std::uint32_t period = 60;
    for (bool skip : {true, false}) {
        Recorder rec;
        rec.blockFirstMs = period * 7 / 2;
        vvIntervalTimer timer(period, record, skip, &rec, false, false);
        ASSERT_TRUE(rec.wait_calls(5)) << skip;
        timer.request_stop();
        ASSERT_TRUE(timer.wait(3000));
        const auto e = rec.calls();
        // The block ends at about 4.5 periods.
        EXPECT_GE(e[1], e[0] + period * 3) << skip;
        if (skip) {
            // The missed periods are dropped: the next call comes at the next
            // future multiple of the period (5), then every period.
            EXPECT_GE(e[1], 5 * period);
            EXPECT_GE(e[2], 6 * period);
            EXPECT_GE(e[3], 7 * period);
        } else {
            // The due times 2, 3 and 4 periods are called back to back.
            EXPECT_LT(e[3] - e[1], period);
            EXPECT_GE(e[4], 5 * period);
        }
    }
}

TEST(VvIntervalTimer, PausedTimerMakesNoCallsUntilResumed) {
    Recorder rec;
    vvIntervalTimer timer(20, record, true, &rec, true, false);
    EXPECT_TRUE(timer.is_paused());
    sleep_ms(150);
    EXPECT_EQ(rec.count(), 0u);

    timer.set_paused(false);
    EXPECT_FALSE(timer.is_paused());
    ASSERT_TRUE(rec.wait_calls(3, 3000));

    timer.set_paused(true);
    sleep_ms(50); // a call that had begun before the pause ends
    const std::size_t pausedAt = rec.count();
    sleep_ms(150);
    EXPECT_EQ(rec.count(), pausedAt);

    timer.set_paused(false);
    EXPECT_TRUE(rec.wait_calls(pausedAt + 2, 3000));
}

TEST(VvIntervalTimer, StartRestartsTheElapsedTimeAndUnpauses) {
    // Paused for 400 ms: unpausing keeps the elapsed time counting from the
    // start of the timer thread, start() counts it from the restart.
    const std::uint32_t period = 40;
    for (bool restart : {true, false}) {
        Recorder rec;
        vvIntervalTimer timer(period, record, true, &rec, true, false);
        sleep_ms(400);
        if (restart) {
            EXPECT_TRUE(timer.start());
        } else {
            timer.set_paused(false);
        }
        EXPECT_FALSE(timer.is_paused());
        ASSERT_TRUE(rec.wait_calls(1, 3000)) << restart;
        const std::uint32_t first = rec.calls()[0];
        if (restart) {
            EXPECT_GE(first, period);
            EXPECT_LT(first, 250u);
        } else {
            EXPECT_GE(first, 300u);
        }
    }
}

TEST(VvIntervalTimer, StopFromInsideTheCallbackEndsTheThread) {
    Recorder rec;
    rec.stopAtCall = 3;
    vvIntervalTimer timer(20, record, true, &rec, false, false);
    ASSERT_TRUE(rec.wait_calls(3, 3000));
    EXPECT_TRUE(timer.wait(2000));
    EXPECT_FALSE(timer.is_running());
    EXPECT_TRUE(timer.is_paused());
    EXPECT_TRUE(timer.is_stop_requested());
    EXPECT_FALSE(timer.start()); // the thread has ended
    sleep_ms(60);
    EXPECT_EQ(rec.count(), 3u);
}

TEST(VvIntervalTimer, DestroyedWhileItsCallbackRunsTheTimerIsLeftAlone) {
    // The callback outlasts the destructor's waits (200 + 3000 ms). Once it
    // returns, the timer thread left behind must not touch the freed timer
    // (the sanitizer build reports it) nor call again.
    struct Blocker {
        std::mutex mutex;
        std::condition_variable cv;
        bool entered = false;
        bool open = false;
        std::atomic<int> calls{0};
        std::atomic<bool> returned{false};
    };
    static Blocker* blocker = new Blocker; // outlives the thread
    const auto block = [](std::uint32_t, vvIntervalTimer*) {
        blocker->calls++;
        std::unique_lock<std::mutex> lock(blocker->mutex);
        blocker->entered = true;
        blocker->cv.notify_all();
        blocker->cv.wait(lock, [] { return blocker->open; });
        blocker->returned = true;
    };
    auto* timer = new vvIntervalTimer(20, block, true, nullptr, false, false);
    {
        std::unique_lock<std::mutex> lock(blocker->mutex);
        ASSERT_TRUE(
            blocker->cv.wait_for(lock, std::chrono::seconds(5), [] { return blocker->entered; }));
    }
    const auto start = Clock::now();
    delete timer;
    EXPECT_GE(ms_since(start), 3000);
    {
        std::lock_guard<std::mutex> lock(blocker->mutex);
        blocker->open = true;
    }
    blocker->cv.notify_all();
    for (int i = 0; i < 500 && !blocker->returned; ++i)
        sleep_ms(2);
    ASSERT_TRUE(blocker->returned);
    sleep_ms(100); // a thread that went on would call again within 20 ms
    EXPECT_EQ(blocker->calls, 1);
}

TEST(VvIntervalTimer, CallbackExceptionEndsTheTimerWithCodeOne) {
    Recorder rec;
    rec.throwAtFirst = true;
    vvIntervalTimer timer(20, record, true, &rec, false, false);
    ASSERT_TRUE(timer.wait(3000));
    EXPECT_EQ(timer.exception_code(), 1);
    EXPECT_EQ(rec.count(), 1u);
}

} // namespace
