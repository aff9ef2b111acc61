// POSIX only: programs are started with fork and execve, waited for with
// waitpid; the stop signals are caught with sigaction and passed on with kill.
// On Linux the child also gets the terminate signal when its parent dies.
#include "platform/process_run.h"

#include "platform/file.h"
#include "platform/posix/fd_io.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace platform {

namespace {

volatile sig_atomic_t forwardTo = 0;
volatile sig_atomic_t lastStopSignal = 0;

void on_stop_signal(int number) {
    const int saved = errno;
    lastStopSignal = number;
    if (forwardTo > 0) {
        kill(static_cast<pid_t>(forwardTo), number);
    }
    errno = saved;
}

bool is_executable_file(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

int decode_status(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

// name_of returns the NAME of a "NAME=value" entry.
std::string_view name_of(std::string_view entry) {
    return entry.substr(0, entry.find('='));
}

} // namespace

std::string find_program(std::string_view name, const std::vector<std::string>& extraFolders) {
    if (name.empty()) {
        return std::string();
    }
    if (name.find('/') != std::string_view::npos) {
        std::string path(name);
        return is_executable_file(path) ? path : std::string();
    }
    std::vector<std::string> folders;
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest(path);
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            const std::string_view folder = rest.substr(0, colon);
            if (!folder.empty() && folder[0] == '/') {
                folders.emplace_back(folder);
            }
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    folders.insert(folders.end(), extraFolders.begin(), extraFolders.end());
    for (const std::string& folder : folders) {
        std::string candidate = folder;
        if (candidate.back() != '/') {
            candidate += '/';
        }
        candidate += name;
        if (is_executable_file(candidate)) {
            return candidate;
        }
    }
    return std::string();
}

std::string current_program_path() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t got = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (got < 0) {
            return std::string();
        }
        if (static_cast<std::size_t>(got) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(got));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

Outcome<ProcessId> start_process(const std::vector<std::string>& argv,
                                 const std::vector<std::string>& extraEnv) {
    return start_process_in(argv, std::string_view(), extraEnv);
}

namespace {

// start_child is start_process_in; with `quiet` the child's standard input
// and output are the null device instead of this process's.
Outcome<ProcessId> start_child(const std::vector<std::string>& argv, std::string_view workingDir,
                               const std::vector<std::string>& extraEnv, bool quiet) {
    if (workingDir.find('\0') != std::string_view::npos) {
        return Failure{"", "", "working directory with a NUL byte"};
    }
    const std::string folder(workingDir);
    if (argv.empty() || argv[0].empty()) {
        return Failure{"", "", "no program to start"};
    }
    // cannot_start is the failure with the system's error `code`.
    const auto cannot_start = [&](int code) {
        return Failure{"cannot start", argv[0], std::strerror(code)};
    };
    // The program is the file its name means here, not one of that name in
    // the child's working directory.
    const std::string program = argv[0].front() == '/' ? argv[0] : absolute_path(argv[0]);
    if (program.empty()) {
        return cannot_start(errno);
    }
    // Everything the child needs is built before fork: after it, only
    // async-signal-safe calls are allowed.
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<std::string> envText;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        const std::string_view entry(*e);
        bool replaced = false;
        for (const std::string& extra : extraEnv) {
            replaced = replaced || name_of(extra) == name_of(entry);
        }
        if (!replaced) {
            envText.emplace_back(entry);
        }
    }
    envText.insert(envText.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> env;
    for (const std::string& e : envText) {
        env.push_back(const_cast<char*>(e.c_str()));
    }
    env.push_back(nullptr);

    const int nullFd = quiet ? posix::open_retrying("/dev/null", O_RDWR | O_CLOEXEC) : -1;
    if (quiet && nullFd < 0) {
        return cannot_start(errno);
    }
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        const int code = errno;
        if (nullFd >= 0) {
            close(nullFd);
        }
        return cannot_start(code);
    }
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        const int code = errno;
        close(report[0]);
        close(report[1]);
        if (nullFd >= 0) {
            close(nullFd);
        }
        return cannot_start(code);
    }
    if (child == 0) {
#if defined(__linux__)
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            _exit(127); // the parent is already gone
        }
#else
        (void)parent;
#endif
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (nullFd >= 0 && (dup2(nullFd, STDIN_FILENO) < 0 || dup2(nullFd, STDOUT_FILENO) < 0)) {
            const int code = errno;
            (void)!write(report[1], &code, sizeof code);
            _exit(127);
        }
        if (!folder.empty() && chdir(folder.c_str()) != 0) {
            const int code = errno;
            (void)!write(report[1], &code, sizeof code);
            _exit(127);
        }
        execve(program.c_str(), args.data(), env.data());
        const int code = errno;
        (void)!write(report[1], &code, sizeof code);
        _exit(127);
    }
    close(report[1]);
    if (nullFd >= 0) {
        close(nullFd);
    }
    int code = 0;
    ssize_t got;
    do {
        got = read(report[0], &code, sizeof code);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof code)) {
        wait_process(child);
        return cannot_start(code);
    }
    return ProcessId{child};
}

} // namespace

Outcome<ProcessId> start_process_in(const std::vector<std::string>& argv,
                                    std::string_view workingDir,
                                    const std::vector<std::string>& extraEnv) {
    return start_child(argv, workingDir, extraEnv, false);
}

Outcome<ProcessEnd> run_process_in(const std::vector<std::string>& argv,
                                   std::string_view workingDir,
                                   const std::vector<std::string>& extraEnv, int timeoutMs) {
    const Outcome<ProcessId> started = start_child(argv, workingDir, extraEnv, true);
    if (!started) {
        return started.failure();
    }
    const ProcessId child = started.value();
    ProcessEnd end;
    using clock = std::chrono::steady_clock;
    const auto poll = std::chrono::milliseconds(10);
    const auto deadline = clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        if (process_ended(child, end.exitCode)) {
            return end;
        }
        if (clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(poll);
    }
    kill(child, SIGTERM);
    const auto grace = clock::now() + std::chrono::seconds(1);
    int ignored = 0;
    while (!process_ended(child, ignored)) {
        if (clock::now() >= grace) {
            kill(child, SIGKILL);
            wait_process(child);
            break;
        }
        std::this_thread::sleep_for(poll);
    }
    end.timedOut = true;
    return end;
}

std::string_view executable_suffix() {
    return std::string_view();
}

int wait_process(ProcessId child) {
    if (child <= 0) {
        return -1;
    }
    for (;;) {
        int status = 0;
        const pid_t got = waitpid(child, &status, 0);
        if (got == child) {
            return decode_status(status);
        }
        if (got < 0 && errno != EINTR) {
            return -1;
        }
    }
}

bool process_ended(ProcessId child, int& code) {
    if (child <= 0) {
        code = -1;
        return true;
    }
    int status = 0;
    pid_t got;
    do {
        got = waitpid(child, &status, WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got == 0) {
        return false;
    }
    code = got == child ? decode_status(status) : -1;
    return true;
}

void watch_stop_signals() {
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a wait returns to look at the signal
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(number, &action, nullptr);
    }
}

void forward_stop_signals(ProcessId child) {
    forwardTo = child;
    if (child > 0 && lastStopSignal != 0) {
        kill(child, lastStopSignal);
    }
}

int stop_signal_received() {
    return lastStopSignal;
}

void stop_process(ProcessId child) {
    if (child > 0) {
        kill(child, SIGTERM);
    }
}

} // namespace platform
