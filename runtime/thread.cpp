// vvThread, vvStopwatch and vvIntervalTimer on standard threads and the
// platform's millisecond clock. A thread is created by start() and passes a gate there;
// every wait of the thread (the gate, sleep_for) is on one condition
// variable, so that start, stop and wake reach it at once.
#include "runtime/thread.h"

#include "platform/clock.h"
#include "platform/process.h"

#include <chrono>
#include <system_error>

// ---- vvThread ---------------------------------------------------------------

vvThread::vvThread(std::string_view name, bool selfDelete)
    : m_name(name), m_selfDelete(selfDelete) {
    // The system thread is made by the first start(): an object that is never
    // started (a log that stays off) costs no thread at all.
}

vvThread::~vvThread() {
    release_thread(3000);
}

void vvThread::release_thread(unsigned ms) {
    if (!m_thread.joinable())
        return;
    if (on_thread()) {
        // Destroyed from its own body: it cannot join itself.
        m_thread.detach();
        return;
    }
    bool started;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        started = m_resumed;
        if (!started) {
            m_released = true;
            m_signal.notify_all();
        }
    }
    if (!started) {
        m_thread.join(); // leaves the gate at once, without the body
        return;
    }
    vvThread::request_stop();
    std::this_thread::yield();
    if (wait(ms))
        return;
    // The thread checks `left` under its lock before it touches the object
    // again; it may have ended just now.
    std::lock_guard<std::mutex> hold(m_left->mutex);
    if (wait(0))
        return;
    m_left->left = true;
    m_thread.detach(); // the body ignores the stop; it must not touch us any more
}

void vvThread::entry(const std::shared_ptr<Left>& left) {
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_threadId = platform::current_thread_id();
        m_signal.notify_all();
        m_signal.wait(lock, [this] { return m_resumed || m_released; });
        if (!m_resumed)
            return;
    }
    int code = 0;
    try {
        run();
    } catch (...) {
        code = 1;
    }
    // Held to the end: the owner does not give up on the thread meanwhile.
    std::unique_lock<std::mutex> hold(left->mutex);
    if (left->left)
        return; // the owner has left; the object may be gone
    if (code != 0)
        m_exceptionCode = code;
    m_finished = true;
    try {
        exit_hook();
    } catch (...) {
        m_exceptionCode = 2;
    }
    if (m_selfDelete) {
        // Nobody joins a self-deleting thread; the destructors below see no
        // thread to wait for.
        m_thread.detach();
        try {
            delete this;
        } catch (...) {
        }
        return;
    }
    // Notify while holding the lock: once it is released the owner may join
    // and destroy the object.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ended = true;
    m_signal.notify_all();
}

bool vvThread::is_stop_requested() const {
    return m_stopRequested;
}

bool vvThread::start() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_resumed || m_released)
        return false;
    if (!m_created) {
        // The new thread waits at the gate in entry() until the lock is
        // given up below.
        try {
            m_thread = std::thread([this, left = m_left] { entry(left); });
            m_created = true;
        } catch (const std::system_error&) {
            return false;
        }
    }
    // The new thread records its id itself: start() does not wait for it
    // to be scheduled.
    m_started = true;
    m_resumed = true;
    // Under the lock: a self-deleting thread may be gone once it is released.
    m_signal.notify_all();
    return true;
}

std::uint32_t vvThread::thread_id() const {
    // The id is recorded by the new thread itself; wait for it only when
    // someone asks.
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_created && m_threadId == 0 && !m_released && !m_ended)
        m_signal.wait(lock, [this] { return m_threadId != 0 || m_ended; });
    return m_threadId;
}

bool vvThread::is_running() const {
    return m_started && !m_finished;
}

bool vvThread::request_stop() {
    // Set under the lock, so that a sleep_for between its check and its wait
    // cannot miss it; callable from the thread itself (it holds no lock then).
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopRequested = true;
    m_signal.notify_all();
    return true;
}

bool vvThread::wait(unsigned ms) {
    if (!m_thread.joinable())
        return true;
    if (on_thread())
        return false;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_signal.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_ended; }))
            return false;
    }
    m_thread.join();
    m_threadId = 0;
    return true;
}

bool vvThread::on_thread() const {
    const std::uint32_t id = m_threadId;
    return id != 0 && id == platform::current_thread_id();
}

bool vvThread::sleep_for(unsigned ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_signal.wait_for(lock, std::chrono::milliseconds(ms),
                      [this] { return m_woken || m_stopRequested; });
    m_woken = false;
    return m_stopRequested;
}

void vvThread::wake() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_woken = true;
    m_signal.notify_all();
}

// ---- vvStopwatch ------------------------------------------------------------

void vvStopwatch::reset() {
    m_base = now_ms();
}

std::uint32_t vvStopwatch::elapsed() const {
    return now_ms() - m_base;
}

std::uint32_t vvStopwatch::now_ms() {
    // 32 bits: the count wraps after about 49.7 days, and every difference
    // is taken modulo 2^32.
    return platform::clock_ms();
}

// ---- vvIntervalTimer --------------------------------------------------------

namespace {

// timer_sleep_ms is the sleep before a call that is `d` ms away: short close
// to the due time, a third of the way at medium distance, at most 99 ms.
std::uint32_t timer_sleep_ms(std::uint32_t d) {
    if (d <= 2)
        return 1;
    if (d <= 9)
        return d - 2;
    if (d <= 99)
        return d - 5;
    if (d <= 300)
        return d / 3;
    return 99;
}

} // namespace

struct vvIntervalTimer::State {
    State(std::uint32_t period, vvTimerCallback callback, bool skipMissed, bool paused)
        : period(period), callback(callback), skipMissed(skipMissed), paused(paused) {}

    // sleep sleeps up to `ms` milliseconds, ended early by a wake or a stop;
    // returns whether a stop is requested.
    bool sleep(unsigned ms) {
        std::unique_lock<std::mutex> lock(mutex);
        signal.wait_for(lock, std::chrono::milliseconds(ms), [this] { return woken || stop; });
        woken = false;
        return stop;
    }
    void wake() {
        std::lock_guard<std::mutex> lock(mutex);
        woken = true;
        signal.notify_all();
    }
    void request_stop() {
        std::lock_guard<std::mutex> lock(mutex);
        paused = true;
        stop = true;
        signal.notify_all();
    }
    bool stopped() {
        std::lock_guard<std::mutex> lock(mutex);
        return stop;
    }

    const std::uint32_t period;
    const vvTimerCallback callback;
    const bool skipMissed;
    std::atomic<bool> paused;
    // start() hands a restart over to the thread through `restart`.
    std::atomic<bool> restart{false};
    // Only the timer thread touches watch and nextDue.
    vvStopwatch watch;
    std::uint32_t nextDue = 0;
    // Guards the fields below; signal announces each of their changes.
    std::mutex mutex;
    std::condition_variable signal;
    bool stop = false;
    bool woken = false;
};

vvIntervalTimer::vvIntervalTimer(std::uint32_t period, vvTimerCallback callback, bool skipMissed,
                                 void* userData, bool startPaused, bool selfDelete)
    : vvThread("vvIntervalTimer", selfDelete), m_period(period == 0 ? 1000 : period),
      m_userData(userData),
      m_state(std::make_shared<State>(m_period, callback, skipMissed, startPaused)) {
    vvThread::start();
}

vvIntervalTimer::~vvIntervalTimer() {
    // The whole wait happens here, while the timer's own members still exist.
    // A thread still in its callback afterwards is left behind: it holds
    // its own share of the state and returns to it.
    m_state->request_stop();
    vvThread::request_stop();
    if (!wait(200))
        release_thread(3000);
}

void vvIntervalTimer::run() {
    // Past the callback the thread touches only `st`: the timer itself may
    // be gone once a callback returns.
    const std::shared_ptr<State> st = m_state;
    // Settle the clock: wait (at most 100 ms) until it moves in steps of at
    // most 3 ms. A monotonic clock passes at the first 1 ms step.
    std::uint32_t last = vvStopwatch::now_ms();
    for (int i = 0; i < 100; ++i) {
        if (st->sleep(1))
            break;
        const std::uint32_t now = vvStopwatch::now_ms();
        if (now - last <= 3)
            break;
        last = now;
    }

    st->watch.reset();
    st->nextDue = st->watch.elapsed() + st->period;
    while (!st->stopped()) {
        if (st->paused) {
            st->sleep(100); // ended at once by unpausing or a stop
            continue;
        }
        if (st->restart.exchange(false)) {
            st->watch.reset();
            st->nextDue = st->watch.elapsed() + st->period;
        }
        const std::uint32_t now = st->watch.elapsed();
        const std::uint32_t d = st->nextDue - now;
        if (d >= 1 && d <= st->period) {
            st->sleep(timer_sleep_ms(d));
            continue;
        }
        // Due, or overdue so that d wrapped.
        if (st->callback != nullptr && !st->paused)
            st->callback(now, this);
        st->nextDue += st->period;
        if (st->skipMissed) {
            // Until the next due time lies after the end of the call: a call
            // that ran late is followed by the next future multiple of the
            // period, not by a catch-up call.
            const std::uint32_t after = st->watch.elapsed();
            while (st->nextDue - after - 1 >= st->period)
                st->nextDue += st->period;
        }
    }
}

bool vvIntervalTimer::start() {
    // The restart is set before the pause is cleared: a timer thread that
    // sees the pause cleared also sees the restart.
    m_state->restart = true;
    m_state->paused = false;
    m_state->wake();
    return is_running();
}

bool vvIntervalTimer::request_stop() {
    m_state->request_stop();
    vvThread::request_stop();
    return true;
}

void vvIntervalTimer::set_paused(bool paused) {
    if (paused) {
        m_state->paused = true;
    } else if (m_state->paused.exchange(false)) {
        m_state->wake();
    }
}

bool vvIntervalTimer::is_paused() const {
    return m_state->paused;
}
