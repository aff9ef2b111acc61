// POSIX only: the FastCGI responder over libfcgi. The parent waits for
// signals alone (sigwaitinfo) and keeps its children; each child accepts
// requests on standard input one after the other and answers each through a
// stream over the request's output. Children wait in accept before a
// request comes, so no fork lies on a request's way, and a child that goes
// on needs no fork, no exit and no fresh pages for the next request.
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
    pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    const KeptVariables kept = kept_variables();
    // The descriptors a request may open, as they are between requests (the
    // server may have left some of them open for the process).
    const int freeDescriptor = lowest_free_descriptor();
    const std::uint32_t openBetween = open_descriptors(freeDescriptor);

    FCGX_Request request;
    if (FCGX_InitRequest(&request, 0, 0) != 0)
        _exit(kAcceptFailed);
    for (unsigned served = 1;; ++served) {
        if (FCGX_Accept_r(&request) < 0)
            _exit(kAcceptFailed);
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
        pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
        set_request_environment(nullptr, kept);
        const bool again = served < kRequestsPerChild && !heap_is_large() && reset != nullptr &&
                           reset() &&
                           (request.ipcFd >= 0 || open_descriptors(freeDescriptor) == openBetween);
        if (!again)
            _exit(0);
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
