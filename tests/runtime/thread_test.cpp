// vvThread: the suspended start, exception codes, wait, stop and wake of a
// sleeping body, destruction before start, self-delete and the final detach.
#include "runtime/thread.h"

#include "platform/process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

long long ms_since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// eventually polls `done` for up to `ms` milliseconds.
template <class F> bool eventually(F done, int ms = 3000) {
    const auto start = Clock::now();
    while (!done()) {
        if (ms_since(start) > ms)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// What a Probe body does.
enum class Body { Return, Throw, SleepLong };

class Probe : public vvThread {
  public:
    explicit Probe(Body body, bool throwInHook = false, bool selfDelete = false,
                   std::atomic<std::uint32_t>* destroyedOn = nullptr)
        : vvThread("probe", selfDelete), m_body(body), m_throwInHook(throwInHook),
          m_destroyedOn(destroyedOn) {}
    ~Probe() override {
        if (m_destroyedOn != nullptr)
            *m_destroyedOn = platform::current_thread_id();
        if (is_running()) {
            request_stop();
            wait(3000);
        }
    }

    void run() override {
        runId = platform::current_thread_id();
        ranOnThread = on_thread();
        ran = true;
        switch (m_body) {
        case Body::Return:
            break;
        case Body::Throw:
            throw 42;
        case Body::SleepLong:
            sleepResult = sleep_for(20000) ? 1 : 0;
            break;
        }
    }
    void exit_hook() override {
        hookRan = true;
        if (m_throwInHook)
            throw std::runtime_error("hook");
    }
    void poke() { wake(); }

    std::atomic<bool> ran{false};
    std::atomic<bool> ranOnThread{false};
    std::atomic<bool> hookRan{false};
    std::atomic<std::uint32_t> runId{0};
    std::atomic<int> sleepResult{-1};

  private:
    const Body m_body;
    const bool m_throwInHook;
    std::atomic<std::uint32_t>* const m_destroyedOn; // id of the destroying thread
};

TEST(VvThread, BodyRunsOnlyAfterStartOnItsOwnThread) {
    Probe probe(Body::Return);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(probe.ran);
    EXPECT_FALSE(probe.is_running());
    EXPECT_EQ(probe.thread_id(), 0u);
    EXPECT_EQ(probe.name(), "probe");

    ASSERT_TRUE(probe.start());
    const std::uint32_t id = probe.thread_id();
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, platform::current_thread_id());
    EXPECT_FALSE(probe.on_thread());
    ASSERT_TRUE(probe.wait(3000));
    EXPECT_TRUE(probe.ran);
    EXPECT_TRUE(probe.ranOnThread);
    EXPECT_EQ(probe.runId, id);
    EXPECT_TRUE(probe.hookRan);
    EXPECT_EQ(probe.exception_code(), 0);
    EXPECT_EQ(probe.thread_id(), 0u); // cleared once the thread was waited for
    EXPECT_FALSE(probe.start());      // a thread starts once
    EXPECT_TRUE(probe.wait(0));       // no thread remains
}

TEST(VvThread, ExceptionsBecomeTheExceptionCode) {
    struct Case {
        Body body;
        bool throwInHook;
        int expected;
    };
    const Case cases[] = {
        {Body::Return, false, 0},
        {Body::Throw, false, 1},
        {Body::Return, true, 2},
        {Body::Throw, true, 2}, // the exit hook runs after a throwing body
    };
    for (const auto& c : cases) {
        Probe probe(c.body, c.throwInHook);
        ASSERT_TRUE(probe.start());
        ASSERT_TRUE(probe.wait(3000));
        EXPECT_TRUE(probe.hookRan);
        EXPECT_FALSE(probe.is_running());
        EXPECT_EQ(probe.exception_code(), c.expected)
            << static_cast<int>(c.body) << " " << c.throwInHook;
    }
}

TEST(VvThread, StopEndsASleepAtOnce) {
    Probe probe(Body::SleepLong);
    ASSERT_TRUE(probe.start());
    ASSERT_TRUE(eventually([&] { return probe.ran.load(); }));
    EXPECT_TRUE(probe.is_running());
    EXPECT_FALSE(probe.wait(50)); // still asleep
    EXPECT_FALSE(probe.is_stop_requested());

    const auto stopAt = Clock::now();
    EXPECT_TRUE(probe.request_stop());
    EXPECT_TRUE(probe.is_stop_requested());
    ASSERT_TRUE(probe.wait(10000));
    EXPECT_LT(ms_since(stopAt), 2000); // the sleep was 20 s
    EXPECT_EQ(probe.sleepResult, 1);
    EXPECT_FALSE(probe.is_running());
}

TEST(VvThread, WakeEndsASleepWithoutAStop) {
    Probe probe(Body::SleepLong);
    ASSERT_TRUE(probe.start());
    ASSERT_TRUE(eventually([&] { return probe.ran.load(); }));
    const auto wakeAt = Clock::now();
    probe.poke();
    ASSERT_TRUE(probe.wait(10000));
    EXPECT_LT(ms_since(wakeAt), 2000);
    EXPECT_EQ(probe.sleepResult, 0);
}

TEST(VvThread, NeverStartedIsReleasedWithoutItsBody) {
    for (bool selfDelete : {false, true}) {
        std::atomic<std::uint32_t> destroyedOn{0};
        auto* probe = new Probe(Body::Return, false, selfDelete, &destroyedOn);
        const auto start = Clock::now();
        delete probe;
        EXPECT_LT(ms_since(start), 1000) << selfDelete;
        EXPECT_EQ(destroyedOn, platform::current_thread_id());
    }
    // The body of a thread destroyed before its start never runs.
    std::atomic<bool> ran{false};
    struct Marker : vvThread {
        explicit Marker(std::atomic<bool>& ran) : vvThread("", false), m_ran(ran) {}
        void run() override { m_ran = true; }
        std::atomic<bool>& m_ran;
    };
    { Marker marker(ran); }
    EXPECT_FALSE(ran);
}

TEST(VvThread, SelfDeleteDestroysTheObjectOnItsThread) {
    std::atomic<std::uint32_t> destroyedOn{0};
    auto* probe = new Probe(Body::SleepLong, false, true, &destroyedOn);
    ASSERT_TRUE(probe->start());
    const std::uint32_t threadId = probe->thread_id(); // the body sleeps until woken
    probe->poke();
    // The object is gone at any moment from here on: only the id is read.
    ASSERT_TRUE(eventually([&] { return destroyedOn != 0; }));
    EXPECT_EQ(destroyedOn, threadId);
    EXPECT_NE(destroyedOn, platform::current_thread_id());
}

// A body that ignores the stop: it waits on a gate that outlives the test,
// and touches nothing of its object once the gate opens.
struct Gate {
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;
};

TEST(VvThread, DestructorLeavesABodyThatIgnoresTheStopBehind) {
    static Gate* gate = new Gate;
    static std::atomic<bool> entered{false};
    static std::atomic<bool> returned{false};
    static std::atomic<bool> hookRan{false};
    struct Stubborn : vvThread {
        Stubborn() : vvThread("stubborn", false) {}
        void run() override {
            entered = true;
            std::unique_lock<std::mutex> lock(gate->mutex);
            gate->cv.wait(lock, [] { return gate->open; });
            returned = true;
        }
        // Called on a freed object if the thread left behind still ran it.
        void exit_hook() override { hookRan = true; }
    };
    auto* stubborn = new Stubborn;
    ASSERT_TRUE(stubborn->start());
    ASSERT_TRUE(eventually([&] { return entered.load(); }));
    const auto start = Clock::now();
    delete stubborn;
    const long long took = ms_since(start);
    EXPECT_GE(took, 2900);  // waited for the stop ...
    EXPECT_LT(took, 10000); // ... and then gave up

    {
        std::lock_guard<std::mutex> lock(gate->mutex);
        gate->open = true;
    }
    gate->cv.notify_all();
    ASSERT_TRUE(eventually([&] { return returned.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(hookRan);
}

} // namespace
