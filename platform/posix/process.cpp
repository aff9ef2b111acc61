// POSIX only: the environment block is the `environ` array; failed writes
// raise SIGPIPE and SIGXFSZ unless those are ignored; the time-out timer is
// the process's real-time interval timer, whose SIGALRM ends the process.
#include "platform/process.h"

#include <malloc.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

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
    return static_cast<std::uint32_t>(getpid());
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
    struct sigaction action = {};
    action.sa_handler = on_timer;
    sigemptyset(&action.sa_mask);
    if (sigaction(SIGALRM, &action, nullptr) != 0)
        return false;
    // A web server may start its CGI programs with signals blocked; the
    // mask is inherited across exec.
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    if (pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr) != 0)
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
