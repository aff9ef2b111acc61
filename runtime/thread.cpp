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
    : m_name(name), m_selfDelete(selfDelete), m_state(std::make_shared<State>()) {
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
        // Destroyed from its own body: it cannot join itself, and once the
        // body returns nothing may reach the object.
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->abandoned = true;
        m_thread.detach();
        return;
    }
    bool started;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        started = m_state->resumed;
        if (!started) {
            m_state->released = true;
            m_state->signal.notify_all();
        }
    }
    if (!started) {
        m_thread.join(); // leaves the gate at once, without the body
        return;
    }
    vvThread::request_stop();
    std::this_thread::yield();
    if (!wait(ms) && !abandon())
        m_thread.join(); // it was in its exit hook, which has ended now
}

bool vvThread::abandon() {
    std::unique_lock<std::mutex> lock(m_state->mutex);
    if (m_state->inExitHook) {
        m_state->signal.wait(lock, [this] { return m_state->ended; });
        return false;
    }
    if (m_state->ended)
        return false;
    // The body ignores the stop. From here on the thread reaches only its
    // state, which it holds a share of.
    m_state->abandoned = true;
    m_thread.detach();
    return true;
}

void vvThread::entry(vvThread* self, std::shared_ptr<State> state) {
    {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->threadId = platform::current_thread_id();
        state->signal.notify_all();
        state->signal.wait(lock, [&] { return state->resumed || state->released; });
        if (!state->resumed)
            return;
    }
    try {
        self->run();
    } catch (...) {
        state->exceptionCode = 1;
    }
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->finished = true;
        if (state->abandoned) {
            // The owner has gone: the object may be freed.
            state->ended = true;
            return;
        }
        state->inExitHook = true;
    }
    try {
        self->exit_hook();
    } catch (...) {
        state->exceptionCode = 2;
    }
    if (self->m_selfDelete) {
        // Nobody joins a self-deleting thread; the destructors below see no
        // thread to wait for.
        self->m_thread.detach();
        try {
            delete self;
        } catch (...) {
        }
        return;
    }
    // Once the lock is released the owner may join and destroy the object.
    std::lock_guard<std::mutex> lock(state->mutex);
    state->ended = true;
    state->signal.notify_all();
}

bool vvThread::is_stop_requested() const {
    return m_state->stopRequested;
}

bool vvThread::start() {
    std::unique_lock<std::mutex> lock(m_state->mutex);
    if (m_state->resumed || m_state->released)
        return false;
    if (!m_created) {
        // The new thread waits at the gate in entry() until the lock is
        // given up below.
        try {
            m_thread = std::thread(&vvThread::entry, this, m_state);
            m_created = true;
        } catch (const std::system_error&) {
            return false;
        }
    }
    // The new thread records its id itself: start() does not wait for it
    // to be scheduled.
    m_state->started = true;
    m_state->resumed = true;
    // Under the lock: a self-deleting thread may be gone once it is released.
    m_state->signal.notify_all();
    return true;
}

std::uint32_t vvThread::thread_id() const {
    // The id is recorded by the new thread itself; wait for it only when
    // someone asks.
    State& s = *m_state;
    std::unique_lock<std::mutex> lock(s.mutex);
    if (m_created && s.threadId == 0 && !s.released && !s.ended)
        s.signal.wait(lock, [&] { return s.threadId != 0 || s.ended; });
    return s.threadId;
}

bool vvThread::is_running() const {
    return m_state->started && !m_state->finished;
}

bool vvThread::request_stop() {
    // Set under the lock, so that a sleep_for between its check and its wait
    // cannot miss it; callable from the thread itself (it holds no lock then).
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->stopRequested = true;
    m_state->signal.notify_all();
    return true;
}

bool vvThread::wait(unsigned ms) {
    if (!m_thread.joinable())
        return true;
    if (on_thread())
        return false;
    {
        State& s = *m_state;
        std::unique_lock<std::mutex> lock(s.mutex);
        if (!s.signal.wait_for(lock, std::chrono::milliseconds(ms), [&] { return s.ended; }))
            return false;
    }
    m_thread.join();
    m_state->threadId = 0;
    return true;
}

bool vvThread::on_thread() const {
    const std::uint32_t id = m_state->threadId;
    return id != 0 && id == platform::current_thread_id();
}

bool vvThread::sleep_for(unsigned ms) {
    State& s = *m_state;
    std::unique_lock<std::mutex> lock(s.mutex);
    s.signal.wait_for(lock, std::chrono::milliseconds(ms),
                      [&] { return s.woken || s.stopRequested; });
    s.woken = false;
    return s.stopRequested;
}

void vvThread::wake() {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->woken = true;
    m_state->signal.notify_all();
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

    // The callback may outlast the timer: its destructor gives up after its
    // waits. The stop it requested first is then seen through this share of
    // the state, and nothing of the freed timer is touched.
    const std::shared_ptr<State> state = m_state;
    const vvTimerCallback callback = m_callback;

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
        if (callback != nullptr && !m_paused) {
            callback(now, this);
            if (state->stopRequested)
                return;
        }
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
