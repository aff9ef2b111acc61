// vvThread: a worker thread wrapped in a class whose derived classes supply
// the body; vvStopwatch, a millisecond clock; vvIntervalTimer, a thread that
// calls a function at a constant period.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

// Stopping is cooperative: a body polls is_stop_requested() or sleeps with
// sleep_for(), which a stop request ends at once. A derived class whose body
// may still run when it is destroyed ends it in its own destructor
// (request_stop, wait): the base destructor runs when the derived part is gone.
class vvThread {
  public:
    // Creates the thread suspended: its body runs once start() is called
    // (the system thread itself is made then).
    // With `selfDelete` the object deletes itself when its thread ends; once
    // such a thread has been started the owner must not touch the object.
    vvThread(std::string_view name, bool selfDelete);
    // Requests a stop and waits up to 3000 ms for the thread to end; a thread
    // that still runs then is detached (there is no forced termination): its
    // body must not touch the object any more once it returns from what it
    // was doing, and its exit hook is not called. A thread that was never
    // started is released without running its body.
    virtual ~vvThread();

    vvThread(const vvThread&) = delete;
    vvThread& operator=(const vvThread&) = delete;

    // run is the thread body.
    virtual void run() = 0;
    // exit_hook is called on the thread after run.
    virtual void exit_hook() {}
    // is_stop_requested returns the stop flag.
    virtual bool is_stop_requested() const;
    // start resumes the suspended thread; returns whether it was started
    // (false when there is no thread or it was started before).
    virtual bool start();
    // is_running: started and not yet finished.
    virtual bool is_running() const;
    // request_stop sets the stop flag and wakes the thread at once.
    virtual bool request_stop();
    // wait waits up to `ms` milliseconds for the thread to end; returns true
    // when no thread remains (the ended thread is joined and the id cleared).
    // On the thread itself it does not wait.
    virtual bool wait(unsigned ms);

    const std::string& name() const { return m_name; }
    // exception_code: 0, 1 when run ended by an exception, 2 when the exit hook did.
    int exception_code() const { return m_state->exceptionCode; }
    // thread_id is the system's id of the thread (0 before it started and
    // after wait() has seen it end).
    std::uint32_t thread_id() const;
    // on_thread tells whether the caller is this object's thread.
    bool on_thread() const;

  protected:
    // sleep_for sleeps up to `ms` milliseconds on the thread and returns early
    // when a stop is requested or wake() is called. Returns whether a stop is
    // requested.
    bool sleep_for(unsigned ms);
    // wake ends a sleep_for of the thread at once.
    void wake();

  private:
    friend class vvIntervalTimer;

    // State is what the thread and its owner share. It outlives the object:
    // a thread left behind by the destructor keeps its own reference and
    // never touches the object again once it finds itself abandoned.
    struct State {
        std::atomic<std::uint32_t> threadId{0};
        std::atomic<bool> started{false};
        std::atomic<bool> finished{false};
        std::atomic<bool> stopRequested{false};
        std::atomic<int> exceptionCode{0};
        // Guards the fields below; signal announces each of their changes.
        std::mutex mutex;
        std::condition_variable signal;
        bool resumed = false;    // start() let the body run
        bool released = false;   // destroyed before start: leave without the body
        bool woken = false;      // wake() called, not yet seen by sleep_for
        bool inExitHook = false; // the body has returned; the exit hook runs
        bool ended = false;      // entry has returned from the body and exit hook
        bool abandoned = false;  // the owner detached the thread and is gone
    };

    static void entry(vvThread* self, std::shared_ptr<State> state);
    // release_thread ends the owner's hold on the thread: a thread never
    // started is let go without its body and joined; a started one is asked
    // to stop, waited for up to `ms` milliseconds and joined, else detached.
    void release_thread(unsigned ms);
    // abandon detaches a thread whose body still runs, so that it no longer
    // touches the object; a thread already past its body (in the exit hook)
    // is waited for instead. Returns whether it was detached.
    bool abandon();

    const std::string m_name;
    const bool m_selfDelete;
    bool m_created = false;
    std::thread m_thread;
    const std::shared_ptr<State> m_state;
};

// vvStopwatch counts milliseconds on a monotonic clock from its last reset.
class vvStopwatch {
  public:
    vvStopwatch() { reset(); }
    void reset();
    // elapsed: milliseconds since the reset (unsigned 32-bit, wrapping).
    std::uint32_t elapsed() const;
    // now_ms: the clock, in milliseconds.
    static std::uint32_t now_ms();

  private:
    std::uint32_t m_base = 0;
};

class vvIntervalTimer;
// vvTimerCallback is called with the elapsed milliseconds and the timer.
using vvTimerCallback = void (*)(std::uint32_t elapsed, vvIntervalTimer* timer);

// vvIntervalTimer calls its callback every `period` milliseconds (0 means
// 1000) on its own thread, never before a due time and within about 1 ms
// after it. With `skipMissed` a late call is not followed by calls for the
// periods it missed. The callback must not destroy its own timer.
class vvIntervalTimer : public vvThread {
  public:
    // Starts the thread at once; with `startPaused` no calls follow until
    // set_paused(false) or start().
    vvIntervalTimer(std::uint32_t period, vvTimerCallback callback, bool skipMissed, void* userData,
                    bool startPaused, bool selfDelete);
    // Pauses, requests a stop, waits up to 200 ms, then as vvThread.
    ~vvIntervalTimer() override;

    void run() override;
    // start restarts the timing: the elapsed time counts from now, the next
    // call is one period from now, and the timer is no longer paused. Returns
    // is_running().
    bool start() override;
    // request_stop pauses the timer and stops its thread; callable from the callback.
    bool request_stop() override;

    // set_paused stops or resumes the calls; the due times go on meanwhile.
    void set_paused(bool paused);
    bool is_paused() const { return m_paused; }
    void* user_data() const { return m_userData; }
    std::uint32_t period() const { return m_period; }

  private:
    // Only the timer thread touches m_watch and m_nextDue; start() hands the
    // restart over through m_restart.
    vvStopwatch m_watch;
    const std::uint32_t m_period;
    std::uint32_t m_nextDue = 0;
    const vvTimerCallback m_callback;
    void* const m_userData;
    std::atomic<bool> m_paused;
    const bool m_skipMissed;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_restart{false};
};
