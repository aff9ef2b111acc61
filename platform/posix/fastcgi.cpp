// POSIX only: the processes of a FastCGI server. The parent waits for
// signals alone (sigwaitinfo) and keeps its children; each child accepts
// connections on standard input and holds them (poll, and a look at their
// bytes with MSG_PEEK) until a request's head has come whole. Children wait
// in accept before a request comes, so no fork lies on a request's way.
#include "platform/fastcgi.h"
#include "platform/posix/fd_io.h"

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

// Connections held at most by one child.
constexpr std::size_t kHeldLimit = 64;
// A child whose heap grew past this after a request ends.
constexpr std::size_t kLargeHeap = 32u * 1024 * 1024;

// endRequested is set by SIGTERM in a child: it ends once its request is
// answered, or at once while it waits for one.
volatile std::sig_atomic_t endRequested = 0;

void request_end(int) {
    endRequested = 1;
}

// A child's signal mask while it waits for a request (SIGTERM taken); while
// it answers one, SIGTERM is held back.
sigset_t waitMask;

std::uint32_t now_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
}

// lowest_free_descriptor returns the descriptor the next open gets (-1 when
// none can be opened).
int lowest_free_descriptor() {
    const int fd = posix::open_retrying("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        close(fd);
    return fd;
}

// open_descriptors tells which of the 16 descriptors from `first` are open,
// one bit each (all set when that cannot be found): those a request opens.
// One poll call, which marks a closed descriptor POLLNVAL.
std::uint32_t open_descriptors(int first) {
    constexpr std::uint32_t kAll = 0xffff;
    if (first < 0)
        return kAll;
    pollfd fds[16] = {};
    for (int i = 0; i < 16; ++i)
        fds[i].fd = first + i;
    if (poll(fds, 16, 0) < 0)
        return kAll;
    std::uint32_t open = 0;
    for (int i = 0; i < 16; ++i) {
        if ((fds[i].revents & POLLNVAL) == 0)
            open |= 1u << i;
    }
    return open;
}

// thread_count returns the number of threads of this process; 0 when it
// cannot be found. Linux counts each thread as a link of /proc/self/task,
// besides its own two: one stat, where /proc/self/stat is formatted whole
// (field 20, after the command name in parentheses, is read where the links
// do not tell).
unsigned thread_count() {
    struct stat task {};
    if (stat("/proc/self/task", &task) == 0 && task.st_nlink >= 3)
        return static_cast<unsigned>(task.st_nlink - 2);
    char text[1024];
    const int fd = posix::open_retrying("/proc/self/stat", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0)
        return 0;
    text[n] = '\0';
    const char* at = std::strrchr(text, ')');
    for (int field = 2; at != nullptr && field < 20; ++field)
        at = std::strchr(at + 1, ' ');
    return at != nullptr ? static_cast<unsigned>(std::strtoul(at + 1, nullptr, 10)) : 0;
}

bool heap_is_large() {
    const struct mallinfo2 info = mallinfo2();
    return info.arena + info.hblkhd > kLargeHeap;
}

// start_child sets a new child up and runs its life.
[[noreturn]] void start_child(pid_t parent, const sigset_t& oldMask, ChildMain childMain,
                              void* context) {
    // The child goes with its parent (one that is killed, too).
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(0);
    // SIGTERM (which libfcgi takes for itself) lets the request under way
    // finish: it is taken only while the child waits for the next one. The
    // other signals are as the program was started with them.
    struct sigaction end = {};
    end.sa_handler = request_end;
    sigemptyset(&end.sa_mask);
    sigaction(SIGTERM, &end, nullptr);
    sigset_t childMask = oldMask;
    sigaddset(&childMask, SIGTERM);
    waitMask = oldMask;
    sigdelset(&waitMask, SIGTERM);
    pthread_sigmask(SIG_SETMASK, &childMask, nullptr);
    childMain(context);
    _exit(0);
}

// wait_signal waits for one of `set` (at most `ms` milliseconds when ms is
// not negative); returns it, or 0 when none came.
int wait_signal(const sigset_t& set, long ms) {
    siginfo_t info;
    if (ms < 0)
        return sigwaitinfo(&set, &info) > 0 ? info.si_signo : 0;
    timespec wait = {ms / 1000, (ms % 1000) * 1000000L};
    const int sig = sigtimedwait(&set, &info, &wait);
    return sig > 0 ? sig : 0;
}

ssize_t write_through(void* cookie, const char* data, size_t size) {
    const auto* target = static_cast<std::pair<void*, StreamWrite>*>(cookie);
    return target->second(target->first, data, size);
}

int close_stream(void* cookie) {
    delete static_cast<std::pair<void*, StreamWrite>*>(cookie);
    return 0;
}

} // namespace

bool fastcgi_listener() {
    int listening = 0;
    socklen_t length = sizeof listening;
    return getsockopt(0, SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) == 0 && listening != 0;
}

unsigned fastcgi_children() {
    const char* value = std::getenv("DIRVANE_FASTCGI_CHILDREN");
    if (value == nullptr || *value == '\0')
        return 4;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(value, &end, 10);
    if (errno != 0 || *end != '\0' || n < 1 || n > 256)
        return 4;
    return static_cast<unsigned>(n);
}

int serve_children(unsigned children, ChildMain childMain, void* context) {
    if (children == 0 || !fastcgi_listener())
        return 1;
    // The children wait for connections in poll and accept whichever comes:
    // one that another child took first must not block in accept.
    const int flags = fcntl(0, F_GETFL);
    if (flags < 0 || fcntl(0, F_SETFL, flags | O_NONBLOCK) != 0)
        return 1;
    // The parent takes the signals that end it and the ends of its children
    // only where it waits for them; a child that ends must be reported, so
    // SIGCHLD is not ignored.
    signal(SIGCHLD, SIG_DFL);
    sigset_t waited;
    sigemptyset(&waited);
    for (const int sig : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        sigaddset(&waited, sig);
    sigset_t oldMask;
    if (pthread_sigmask(SIG_BLOCK, &waited, &oldMask) != 0)
        return 1;

    const pid_t self = getpid();
    std::vector<pid_t> live;
    bool pause = false;
    for (;;) {
        while (!pause && live.size() < children) {
            const pid_t pid = fork();
            if (pid == 0)
                start_child(self, oldMask, childMain, context);
            if (pid < 0) {
                pause = true; // no process to be had now: try again shortly
                break;
            }
            live.push_back(pid);
        }
        const int sig = wait_signal(waited, pause ? 100 : -1);
        pause = false;
        if (sig == SIGTERM || sig == SIGINT || sig == SIGHUP)
            break;
        int status = 0;
        pid_t pid = 0;
        while ((pid = waitpid(-1, &status, WNOHANG)) > 0) {
            std::erase(live, pid);
            if (WIFEXITED(status) && WEXITSTATUS(status) == kChildCannotAccept)
                pause = true;
        }
    }
    for (const pid_t pid : live)
        kill(pid, SIGTERM);
    for (const pid_t pid : live) {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    return 0;
}

void end_child(int code) {
    _exit(code);
}

// HeldConnection is an accepted connection whose head has not all come.
struct HeldConnection {
    int fd = -1;
    std::uint32_t deadline = 0; // now_ms() by which the head must be there
};

struct Connections::State {
    HeadCheck check = nullptr;
    std::size_t headLimit = 0;
    std::uint32_t deadlineMs = 0;
    std::vector<HeldConnection> held; // oldest first
    std::vector<unsigned char> buffer;

    // state_of looks at the bytes queued on `fd` without taking them.
    HeadState state_of(int fd) {
        buffer.resize(headLimit);
        ssize_t n = -1;
        do {
            n = recv(fd, buffer.data(), buffer.size(), MSG_PEEK | MSG_DONTWAIT);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK ? HeadState::incomplete
                                                           : HeadState::invalid;
        if (n == 0)
            return HeadState::invalid; // the client closed before its head was whole
        const HeadState state = check(buffer.data(), static_cast<std::size_t>(n));
        // A head that does not fit into headLimit is too large.
        return state == HeadState::incomplete && static_cast<std::size_t>(n) == buffer.size()
                   ? HeadState::invalid
                   : state;
    }

    void add(int fd) {
        if (held.size() >= kHeldLimit) {
            close(held.front().fd);
            held.erase(held.begin());
        }
        held.push_back({fd, now_ms() + deadlineMs});
    }
};

Connections::Connections(HeadCheck check, std::size_t headLimit, std::uint32_t deadlineMs)
    : m_state(std::make_unique<State>()) {
    m_state->check = check;
    m_state->headLimit = headLimit;
    m_state->deadlineMs = deadlineMs;
}

Connections::~Connections() {
    for (const HeldConnection& c : m_state->held)
        close(c.fd);
}

void Connections::keep(int connection) {
    m_state->add(connection);
}

void Connections::close_connection(int connection) {
    close(connection);
}

std::vector<int> Connections::held() const {
    std::vector<int> fds;
    for (const HeldConnection& c : m_state->held)
        fds.push_back(c.fd);
    return fds;
}

int Connections::next(bool accepting) {
    State& s = *m_state;
    for (;;) {
        if (endRequested != 0)
            return kNoMore;
        const std::uint32_t now = now_ms();
        std::erase_if(s.held, [&](const HeldConnection& c) {
            if (static_cast<std::int32_t>(c.deadline - now) > 0)
                return false;
            close(c.fd);
            return true;
        });
        if (!accepting && s.held.empty())
            return kNoMore;
        std::vector<pollfd> fds;
        if (accepting)
            fds.push_back({0, POLLIN, 0});
        std::uint32_t wait = 0;
        for (const HeldConnection& c : s.held) {
            fds.push_back({c.fd, POLLIN, 0});
            const std::uint32_t left = c.deadline - now;
            wait = wait == 0 || left < wait ? left : wait;
        }
        const timespec waitFor = {static_cast<time_t>(wait / 1000),
                                  static_cast<long>(wait % 1000) * 1000000L};
        if (ppoll(fds.data(), fds.size(), s.held.empty() ? nullptr : &waitFor, &waitMask) < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        for (std::size_t i = accepting ? 1 : 0; i < fds.size(); ++i) {
            if (fds[i].revents == 0)
                continue;
            const HeadState state = s.state_of(fds[i].fd);
            if (state == HeadState::incomplete)
                continue;
            std::erase_if(s.held, [&](const HeldConnection& c) { return c.fd == fds[i].fd; });
            if (state == HeadState::complete)
                return fds[i].fd;
            close(fds[i].fd);
        }
        if (accepting && fds[0].revents != 0) {
            const int fd = accept4(0, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                // Another child took it, or the client left first.
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ||
                    errno == ECONNABORTED || errno == EPROTO)
                    continue;
                return -1;
            }
            const HeadState state = s.state_of(fd);
            if (state == HeadState::complete)
                return fd;
            if (state == HeadState::invalid)
                close(fd);
            else
                s.add(fd);
        }
    }
}

ChildBaseline::ChildBaseline()
    : m_firstFree(lowest_free_descriptor()), m_opened(open_descriptors(m_firstFree)) {}

bool ChildBaseline::unchanged(const std::vector<int>& connections) const {
    std::uint32_t held = 0;
    for (const int fd : connections) {
        if (m_firstFree >= 0 && fd >= m_firstFree && fd < m_firstFree + 16)
            held |= 1u << (fd - m_firstFree);
    }
    // A thread that was just joined may still be counted for a moment while
    // it is taken down; one left running stays.
    unsigned threads = thread_count();
    for (int look = 0; threads > 1 && look < 5; ++look) {
        const timespec moment = {0, 1000000L};
        nanosleep(&moment, nullptr);
        threads = thread_count();
    }
    return !heap_is_large() && threads == 1 && (open_descriptors(m_firstFree) & ~held) == m_opened;
}

EnvironmentValues environment_values(const std::vector<const char*>& names) {
    EnvironmentValues values;
    for (const char* name : names) {
        if (const char* value = std::getenv(name))
            values.emplace_back(name, value);
    }
    return values;
}

void set_environment(char* const* entries, const EnvironmentValues& kept) {
    clearenv();
    for (char* const* p = entries; p != nullptr && *p != nullptr; ++p) {
        // An entry without "=" names no variable.
        if (std::strchr(*p, '=') != nullptr && **p != '=')
            putenv(*p);
    }
    for (const auto& [name, value] : kept)
        setenv(name.c_str(), value.c_str(), 1);
    // The C library keeps the zone it read first until it is asked again:
    // it is asked whenever TZ differs from the last request's (each ask
    // looks at the zone file again).
    static std::string zone;
    static bool zoneSet = false;
    const char* now = std::getenv("TZ");
    if (now == nullptr ? zoneSet : !zoneSet || zone != now) {
        zoneSet = now != nullptr;
        zone = now != nullptr ? now : "";
        tzset();
    }
}

std::FILE* open_write_stream(void* cookie, StreamWrite write) {
    cookie_io_functions_t io = {};
    io.write = write_through;
    io.close = close_stream;
    auto* target = new std::pair<void*, StreamWrite>(cookie, write);
    std::FILE* stream = fopencookie(target, "w", io);
    if (stream == nullptr)
        delete target;
    return stream;
}

bool write_connection(int connection, std::string_view bytes) {
    return posix::write_all(connection, bytes);
}

void end_request_state() {
    // The signal mask stays as the request left it: the time-out timer lets
    // SIGALRM through once for all requests, and nothing else changes it.
    const itimerval disarmed = {};
    setitimer(ITIMER_REAL, &disarmed, nullptr);
}

} // namespace platform
