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
    if (!wait(ms))
        m_thread.detach(); // the body ignores the stop; it must not touch us any more
}

void vvThread::entry() {
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_threadId = platform::current_thread_id();
        m_signal.notify_all();
        m_signal.wait(lock, [this] { return m_resumed || m_released; });
        if (!m_resumed)
            return;
    }
    try {
        run();
    } catch (...) {
        m_exceptionCode = 1;
    }
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
            m_thread = std::thread(&vvThread::entry, this);
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

vvIntervalTimer::vvIntervalTimer(std::uint32_t period, vvTimerCallback callback, bool skipMissed,
                                 void* userData, bool startPaused, bool selfDelete)
    : vvThread("vvIntervalTimer", selfDelete), m_period(period == 0 ? 1000 : period),
      m_callback(callback), m_userData(userData), m_paused(startPaused), m_skipMissed(skipMissed) {
    vvThread::start();
}

vvIntervalTimer::~vvIntervalTimer() {
    // The whole wait happens here, while the timer's own members still exist.
    m_paused = true;
    vvThread::request_stop();
    if (!wait(200))
        release_thread(3000);
}

void vvIntervalTimer::run() {
    // Settle the clock: wait (at most 100 ms) until it moves in steps of at
    // most 3 ms. A monotonic clock passes at the first 1 ms step.
    std::uint32_t last = vvStopwatch::now_ms();
    for (int i = 0; i < 100; ++i) {
        if (sleep_for(1))
            break;
        const std::uint32_t now = vvStopwatch::now_ms();
        if (now - last <= 3)
            break;
        last = now;
    }

    m_watch.reset();
    m_nextDue = m_watch.elapsed() + m_period;
    m_running = true;
    while (!vvThread::is_stop_requested()) {
        if (m_paused) {
            sleep_for(100); // ended at once by unpausing or a stop
            continue;
        }
        if (m_restart.exchange(false)) {
            m_watch.reset();
            m_nextDue = m_watch.elapsed() + m_period;
        }
        const std::uint32_t now = m_watch.elapsed();
        const std::uint32_t d = m_nextDue - now;
        if (d >= 1 && d <= m_period) {
            sleep_for(timer_sleep_ms(d));
            continue;
        }
        // Due, or overdue so that d wrapped.
        if (m_callback != nullptr && !m_paused)
            m_callback(now, this);
        m_nextDue += m_period;
        if (m_skipMissed) {
            // Until the next due time lies after the end of the call: a call
            // that ran late is followed by the next future multiple of the
            // period, not by a catch-up call.
            const std::uint32_t after = m_watch.elapsed();
            while (m_nextDue - after - 1 >= m_period)
                m_nextDue += m_period;
        }
    }
}

bool vvIntervalTimer::start() {
    // The restart is set before the pause is cleared: a timer thread that
    // sees the pause cleared also sees the restart.
    m_restart = true;
    m_paused = false;
    wake();
    return is_running();
}

bool vvIntervalTimer::request_stop() {
    m_paused = true;
    vvThread::request_stop();
    return true;
}

void vvIntervalTimer::set_paused(bool paused) {
    if (paused) {
        m_paused = true;
    } else if (m_paused.exchange(false)) {
        wake();
    }
}
