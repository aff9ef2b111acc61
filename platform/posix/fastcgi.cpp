// POSIX only: the FastCGI responder over libfcgi. The parent waits for
// signals alone (sigwaitinfo) and keeps its children; each child accepts
// connections on standard input, holds them until a request's head has come
// whole (with a deadline and a bound on its size), and answers the requests
// one after the other, each through a stream over the request's output. Children wait in accept
// before a request comes, so no fork lies on a request's way, and a child that goes on needs no
// fork, no exit and no fresh pages for the next request.
#include "platform/fastcgi.h"

#include <fcgiapp.h>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace platform {

namespace {

// A child whose accept failed ends with this code: the parent then waits a
// moment before it starts the next one, instead of starting children as
// fast as it can while standard input cannot be served.
constexpr int kAcceptFailed = 121;

// The variables of the process's own environment that stay in a request's:
// the parent opened the collator and read the zone rules under them, so a
// child converts and sorts as the parent loaded.
constexpr const char* kKeptVariables[] = {"TZ", "TZDIR", "LANG", "LC_ALL", "LC_COLLATE"};

ssize_t write_to_request(void* cookie, const char* data, size_t size) {
    auto* request = static_cast<FCGX_Request*>(cookie);
    size_t done = 0;
    while (done < size) {
        const size_t part = size - done > INT_MAX ? INT_MAX : size - done;
        const int n = FCGX_PutStr(data + done, static_cast<int>(part), request->out);
        if (n < 0)
            return done > 0 ? static_cast<ssize_t>(done) : -1;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

// A child ends after this many requests, and after a request that left its
// heap larger than kLargeHeap (a large folder's list and page): an idle
// child holds no more than a small folder's memory.
constexpr unsigned kRequestsPerChild = 1000;
constexpr std::size_t kLargeHeap = 32u * 1024 * 1024;

// KeptVariables are the kept variables' values as the child started with.
using KeptVariables = std::vector<std::pair<const char*, std::string>>;

KeptVariables kept_variables() {
    KeptVariables kept;
    for (const char* name : kKeptVariables) {
        if (const char* value = std::getenv(name))
            kept.emplace_back(name, value);
    }
    return kept;
}

// set_request_environment makes the request's parameters (none when
// `params` is null) the process environment, with the kept variables. The
// parameters' texts stay with the request until it is finished, and the
// environment is set again before that.
void set_request_environment(char** params, const KeptVariables& kept) {
    clearenv();
    for (char** p = params; p != nullptr && *p != nullptr; ++p) {
        // An entry without "=" names no variable.
        if (std::strchr(*p, '=') != nullptr && **p != '=')
            putenv(*p);
    }
    for (const auto& [name, value] : kept)
        setenv(name, value.c_str(), 1);
    // The C library keeps the zone it read first until it is asked again: a
    // request's TZ holds for that request only.
    tzset();
}

// lowest_free_descriptor returns the descriptor the next open gets (-1 when
// none can be opened).
int lowest_free_descriptor() {
    const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
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

// A request's head is its BEGIN_REQUEST record and its parameters up to the
// empty PARAMS record. A child reads it only once all of it has come (it
// looks at the queued bytes without taking them), so a client that sends a
// part and stalls holds no child: its connection waits beside the others
// until its deadline, and libfcgi reads only heads that are whole.
constexpr std::uint32_t kHeadDeadlineMs = 5000;
// The parameters' total size (names and values); a head with more is not
// read, whatever lengths its pairs declare.
constexpr std::size_t kParamsLimit = 64 * 1024;
// The head's records (8 bytes of header and up to 255 of padding each) with
// parameters of kParamsLimit, and a few management records before them.
constexpr std::size_t kHeadLimit = kParamsLimit + 16 * 1024;
// Connections a child keeps waiting for their heads; one more pushes out the
// one that has waited longest.
constexpr std::size_t kWaitingLimit = 64;

enum class HeadState { incomplete, complete, invalid };

// pair_lengths_fit tells whether the name-value pairs of `params` (the
// PARAMS records' contents, joined) each declare lengths that lie inside it.
bool pair_lengths_fit(const std::vector<unsigned char>& params) {
    std::size_t at = 0;
    const auto length = [&](std::size_t& out) {
        if (at >= params.size())
            return false;
        if ((params[at] & 0x80) == 0) {
            out = params[at++];
            return true;
        }
        if (params.size() - at < 4)
            return false;
        out = (static_cast<std::size_t>(params[at] & 0x7f) << 24) |
              (static_cast<std::size_t>(params[at + 1]) << 16) |
              (static_cast<std::size_t>(params[at + 2]) << 8) | params[at + 3];
        at += 4;
        return true;
    };
    while (at < params.size()) {
        std::size_t name = 0;
        std::size_t value = 0;
        if (!length(name) || !length(value) || name > params.size() - at ||
            value > params.size() - at - name) {
            return false;
        }
        at += name + value;
    }
    return true;
}

// request_head_state reads the FastCGI records at the start of `bytes`: a
// responder's BEGIN_REQUEST (management records may come first) and its
// PARAMS up to the empty one, with no other record between and parameters
// within kParamsLimit.
HeadState request_head_state(const unsigned char* bytes, std::size_t size) {
    constexpr unsigned char kBegin = 1, kParams = 4, kGetValues = 9;
    std::size_t at = 0;
    unsigned id = 0; // the request's id, once BEGIN_REQUEST has come
    std::vector<unsigned char> params;
    for (;;) {
        if (size - at < 8)
            return HeadState::incomplete;
        const unsigned char* header = bytes + at;
        const unsigned type = header[1];
        const unsigned recordId = (header[2] << 8) | header[3];
        const std::size_t contentLength = (header[4] << 8) | header[5];
        const std::size_t recordLength = 8 + contentLength + header[6];
        if (header[0] != 1)
            return HeadState::invalid;
        if (recordId == 0 && type == kGetValues) {
            // libfcgi answers it.
        } else if (id == 0) {
            if (type != kBegin || recordId == 0 || contentLength < 8)
                return HeadState::invalid;
        } else if (type != kParams || recordId != id) {
            return HeadState::invalid;
        } else if (contentLength > kParamsLimit - params.size()) {
            return HeadState::invalid;
        }
        if (size - at < recordLength)
            return HeadState::incomplete;
        const unsigned char* content = header + 8;
        if (type == kBegin && id == 0) {
            if (((content[0] << 8) | content[1]) != 1) // FCGI_RESPONDER
                return HeadState::invalid;
            id = recordId;
        } else if (type == kParams) {
            if (contentLength == 0)
                return pair_lengths_fit(params) ? HeadState::complete : HeadState::invalid;
            params.insert(params.end(), content, content + contentLength);
        }
        at += recordLength;
    }
}

// endRequested is set by SIGTERM in a child: it ends once its request is
// answered, or at once while it waits for one.
volatile std::sig_atomic_t endRequested = 0;

void request_end(int) {
    endRequested = 1;
}

// WaitingConnection is an accepted connection whose head has not all come.
struct WaitingConnection {
    int fd = -1;
    std::uint32_t deadline = 0; // clock_ms() by which the head must be there
};

std::uint32_t now_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
}

// head_state_of looks at the bytes queued on `fd` without taking them.
HeadState head_state_of(int fd, std::vector<unsigned char>& buffer) {
    buffer.resize(kHeadLimit);
    ssize_t n = -1;
    do {
        n = recv(fd, buffer.data(), buffer.size(), MSG_PEEK | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? HeadState::incomplete : HeadState::invalid;
    if (n == 0)
        return HeadState::invalid; // the client closed before its head was whole
    const HeadState state = request_head_state(buffer.data(), static_cast<std::size_t>(n));
    // A head that does not fit into kHeadLimit is too large.
    return state == HeadState::incomplete && static_cast<std::size_t>(n) == buffer.size()
               ? HeadState::invalid
               : state;
}

// RequestHeads holds a child's connections until their heads are whole.
class RequestHeads {
  public:
    // `waitMask` is the signal mask while the child waits for connections.
    explicit RequestHeads(const sigset_t& waitMask) : m_waitMask(waitMask) {}
    ~RequestHeads() {
        for (const WaitingConnection& c : m_waiting)
            close(c.fd);
    }

    // keep puts back a connection the server keeps open for its next request.
    void keep(int fd) { add(fd); }

    // next returns a connection whose head has come whole, accepting new
    // ones on standard input while `accepting`; kNoMore when not accepting
    // and none waits any more, or when the child is asked to end; -1 when
    // accept fails for another reason than a client's.
    static constexpr int kNoMore = -2;
    int next(bool accepting) {
        for (;;) {
            if (endRequested != 0)
                return kNoMore;
            const std::uint32_t now = now_ms();
            std::erase_if(m_waiting, [&](const WaitingConnection& c) {
                if (static_cast<std::int32_t>(c.deadline - now) > 0)
                    return false;
                close(c.fd);
                return true;
            });
            if (!accepting && m_waiting.empty())
                return kNoMore;
            std::vector<pollfd> fds;
            if (accepting)
                fds.push_back({0, POLLIN, 0});
            std::uint32_t wait = 0;
            for (const WaitingConnection& c : m_waiting) {
                fds.push_back({c.fd, POLLIN, 0});
                const std::uint32_t left = c.deadline - now;
                wait = wait == 0 || left < wait ? left : wait;
            }
            const timespec waitFor = {static_cast<time_t>(wait / 1000),
                                      static_cast<long>(wait % 1000) * 1000000L};
            if (ppoll(fds.data(), fds.size(), m_waiting.empty() ? nullptr : &waitFor, &m_waitMask) <
                0) {
                if (errno == EINTR)
                    continue;
                return -1;
            }
            for (std::size_t i = accepting ? 1 : 0; i < fds.size(); ++i) {
                if (fds[i].revents == 0)
                    continue;
                const HeadState state = head_state_of(fds[i].fd, m_buffer);
                if (state == HeadState::incomplete)
                    continue;
                std::erase_if(m_waiting,
                              [&](const WaitingConnection& c) { return c.fd == fds[i].fd; });
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
                const HeadState state = head_state_of(fd, m_buffer);
                if (state == HeadState::complete)
                    return fd;
                if (state == HeadState::invalid)
                    close(fd);
                else
                    add(fd);
            }
        }
    }

    // mask tells which of the 16 descriptors from `first` are connections
    // held here, one bit each.
    std::uint32_t mask(int first) const {
        std::uint32_t bits = 0;
        for (const WaitingConnection& c : m_waiting) {
            if (first >= 0 && c.fd >= first && c.fd < first + 16)
                bits |= 1u << (c.fd - first);
        }
        return bits;
    }

    bool empty() const { return m_waiting.empty(); }

  private:
    void add(int fd) {
        if (m_waiting.size() >= kWaitingLimit) {
            close(m_waiting.front().fd);
            m_waiting.erase(m_waiting.begin());
        }
        m_waiting.push_back({fd, now_ms() + kHeadDeadlineMs});
    }

    sigset_t m_waitMask;
    std::vector<WaitingConnection> m_waiting; // oldest first
    std::vector<unsigned char> m_buffer;
};

// thread_count returns the number of threads of this process (field 20 of
// /proc/self/stat, after the command name in parentheses); 0 when it cannot
// be read.
unsigned thread_count() {
    char text[1024];
    const int fd = open("/proc/self/stat", O_RDONLY | O_CLOEXEC);
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

// answer_requests is a child's whole life: requests one after the other,
// until one of them ends the process or the child must not go on.
[[noreturn]] void answer_requests(pid_t parent, const sigset_t& oldMask, FastCgiHandler handler,
                                  FastCgiReset reset) {
    // The child goes with its parent (one that is killed, too), and takes
    // the signals as the program was started with them.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(0);
    // SIGTERM (which libfcgi takes for itself) lets the request under way
    // finish: it is taken only while the child waits for the next one.
    struct sigaction end = {};
    end.sa_handler = request_end;
    sigemptyset(&end.sa_mask);
    sigaction(SIGTERM, &end, nullptr);
    sigset_t childMask = oldMask;
    sigaddset(&childMask, SIGTERM);
    sigset_t waitMask = oldMask;
    sigdelset(&waitMask, SIGTERM);
    pthread_sigmask(SIG_SETMASK, &childMask, nullptr);
    const KeptVariables kept = kept_variables();
    // The descriptors a request may open, as they are between requests (the
    // server may have left some of them open for the process).
    const int freeDescriptor = lowest_free_descriptor();
    const std::uint32_t openBetween = open_descriptors(freeDescriptor);

    // libfcgi reads the heads that have come whole and accepts nothing
    // itself: its listening socket is none, so a connection it turns down
    // is closed and the call returns.
    FCGX_Request request;
    if (FCGX_InitRequest(&request, -1, FCGI_FAIL_ACCEPT_ON_INTR) != 0)
        _exit(kAcceptFailed);
    RequestHeads heads(waitMask);
    // A child that must not go on answers the heads it holds that come
    // whole in time, accepts no more, and then ends.
    bool accepting = true;
    for (unsigned served = 0;;) {
        const int fd = heads.next(accepting);
        if (fd < 0)
            _exit(fd == RequestHeads::kNoMore ? 0 : kAcceptFailed);
        request.ipcFd = fd;
        // FCGX_Accept_r first finishes the request before, which would close
        // a connection that is not kept.
        request.keepConnection = 1;
        if (FCGX_Accept_r(&request) < 0)
            continue;
        ++served;
        set_request_environment(request.envp, kept);

        // A request that names no file, or whose folder cannot be entered,
        // is not answered: the connection closes without the end of the
        // request, which the web server reports as its own error.
        const char* conf = std::getenv("SCRIPT_FILENAME");
        if (conf == nullptr || *conf == '\0')
            _exit(1);
        const std::string path(conf);
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : path.substr(0, slash);
        cookie_io_functions_t io = {};
        io.write = write_to_request;
        std::FILE* out = chdir(folder.c_str()) == 0 ? fopencookie(&request, "w", io) : nullptr;
        if (out == nullptr)
            _exit(1);
        const int code = handler(path.c_str(), out);
        std::fclose(out);
        FCGX_Finish_r(&request);
        if (code != 0)
            _exit(code);

        // What the request set up for itself ends with it: its time-out, its
        // signal mask, its environment (whose texts went with the request).
        const itimerval disarmed = {};
        setitimer(ITIMER_REAL, &disarmed, nullptr);
        pthread_sigmask(SIG_SETMASK, &childMask, nullptr);
        set_request_environment(nullptr, kept);
        // The connection the server keeps for its next request, and those
        // waiting for their heads, are no request's open files.
        const int keptConnection = request.ipcFd;
        request.ipcFd = -1;
        std::uint32_t connections = heads.mask(freeDescriptor);
        if (keptConnection >= freeDescriptor && keptConnection < freeDescriptor + 16)
            connections |= 1u << (keptConnection - freeDescriptor);
        // `reset` runs after every request, also in a child that ends.
        const bool takenBack = reset != nullptr && reset();
        accepting = accepting && takenBack && served < kRequestsPerChild && !heap_is_large() &&
                    thread_count() == 1 &&
                    (open_descriptors(freeDescriptor) & ~connections) == openBetween;
        if (keptConnection >= 0) {
            if (accepting)
                heads.keep(keptConnection);
            else
                close(keptConnection);
        }
    }
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

int serve_fastcgi(unsigned children, FastCgiHandler handler, FastCgiReset reset) {
    if (children == 0 || !fastcgi_listener() || FCGX_Init() != 0)
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
                answer_requests(self, oldMask, handler, reset);
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
            if (WIFEXITED(status) && WEXITSTATUS(status) == kAcceptFailed)
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

} // namespace platform
