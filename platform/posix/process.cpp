// POSIX only: the environment block is the `environ` array; failed writes
// raise SIGPIPE and SIGXFSZ unless those are ignored; the time-out timer is
// the process's real-time interval timer, whose SIGALRM ends the process.
#include "platform/process.h"

#include <malloc.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace platform {

namespace {

// The exit code of the armed timer, read by its signal handler.
volatile sig_atomic_t g_timerExitCode = 0;

// on_timer ends the process from the signal handler: _exit is
// async-signal-safe, whatever the interrupted code was doing.
extern "C" void on_timer(int) {
    _exit(g_timerExitCode);
}

// The process's number once asked for; 0 before, and in a forked child.
std::atomic<pid_t> g_processId{0};

void forget_process_id() {
    g_processId.store(0, std::memory_order_relaxed);
}

} // namespace

std::string environment_block() {
    std::size_t size = 0;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e)
        size += std::strlen(*e) + 1;
    std::string block;
    block.reserve(size);
    for (char** e = environ; e != nullptr && *e != nullptr; ++e)
        block.append(*e, std::strlen(*e) + 1);
    return block;
}

std::uint32_t current_process_id() {
    // Asked for every log line: the number is kept, and forgotten in the
    // child of a fork.
    static const bool forgotten = pthread_atfork(nullptr, nullptr, forget_process_id) == 0;
    if (!forgotten)
        return static_cast<std::uint32_t>(getpid());
    pid_t id = g_processId.load(std::memory_order_relaxed);
    if (id == 0) {
        id = getpid();
        g_processId.store(id, std::memory_order_relaxed);
    }
    return static_cast<std::uint32_t>(id);
}

std::uint32_t current_thread_id() {
    thread_local const auto id = static_cast<std::uint32_t>(syscall(SYS_gettid));
    return id;
}

void keep_running_on_failed_writes() {
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

void keep_freed_memory() {
    // glibc's allocator hands blocks from 128 KB up to the system one by one
    // (mmap) and gives the top of the heap back once 128 KB of it are free;
    // both mean fresh pages for every large buffer. Blocks up to its limit
    // of 32 MB come from the heap instead, which keeps what is freed.
    constexpr int kLargestHeapBlock = 32 * 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
    mallopt(M_TRIM_THRESHOLD, 2 * kLargestHeapBlock);
    // The heap grows in steps of this much beyond each request: fewer calls.
    mallopt(M_TOP_PAD, 4 * 1024 * 1024);
}

void exit_process_now(int code) {
    _exit(code);
}

bool end_process_after(std::uint32_t ms, int code) {
    g_timerExitCode = code;
    // The handler is set and SIGALRM let through once: a process that arms
    // the timer for request after request asks only for the time again.
    // (A web server may start its CGI programs with signals blocked; the
    // mask is inherited across exec.)
    static const bool handled = [] {
        struct sigaction action = {};
        action.sa_handler = on_timer;
        sigemptyset(&action.sa_mask);
        sigset_t alarm;
        sigemptyset(&alarm);
        sigaddset(&alarm, SIGALRM);
        return sigaction(SIGALRM, &action, nullptr) == 0 &&
               pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr) == 0;
    }();
    if (!handled)
        return false;
    itimerval timer = {};
    timer.it_value.tv_sec = static_cast<time_t>(ms / 1000);
    timer.it_value.tv_usec = static_cast<suseconds_t>(ms % 1000) * 1000;
    if (ms == 0)
        timer.it_value.tv_usec = 1; // a zero time would disarm the timer
    return setitimer(ITIMER_REAL, &timer, nullptr) == 0;
}

void cancel_process_end() {
    const itimerval disarmed = {};
    setitimer(ITIMER_REAL, &disarmed, nullptr);
}

} // namespace platform
