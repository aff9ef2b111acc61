// POSIX only: programs are started with posix_spawn in a session of their
// own, and a detached thread waits for each one, so that none is left behind
// as a zombie; "open" is xdg-open found in PATH.
#include "platform/shell.h"

#include "platform/file.h"
#include "platform/process_run.h"

#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace platform {

namespace {

// program_path returns the file to start for `name`: a name with a "/" as
// it is, a plain name from the working directory when a file of that name
// lies there (as the Windows shell looks there first), else from PATH.
std::string program_path(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return name;
    }
    if (path_kind(name) == PathKind::file) {
        return "./" + name;
    }
    return find_program(name, {});
}

// SpawnAttributes resets what the child must not inherit: blocked signals
// and the handlers of the stop signals that this process may catch.
class SpawnAttributes {
  public:
    SpawnAttributes() {
        m_ok = posix_spawnattr_init(&m_attr) == 0;
        if (!m_ok) {
            return;
        }
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD}) {
            sigaddset(&defaults, number);
        }
        short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_SETSID
        flags |= POSIX_SPAWN_SETSID; // Ctrl-C in the tool's terminal spares it
#endif
        m_ok = posix_spawnattr_setsigmask(&m_attr, &none) == 0 &&
               posix_spawnattr_setsigdefault(&m_attr, &defaults) == 0 &&
               posix_spawnattr_setflags(&m_attr, flags) == 0;
    }
    ~SpawnAttributes() {
        posix_spawnattr_destroy(&m_attr);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    bool ok() const {
        return m_ok;
    }
    const posix_spawnattr_t* get() const {
        return &m_attr;
    }

  private:
    posix_spawnattr_t m_attr{};
    bool m_ok = false;
};

} // namespace

bool start_detached(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) {
        return false;
    }
    for (const std::string& a : argv) {
        if (a.find('\0') != std::string::npos) {
            return false;
        }
    }
    const std::string program = program_path(argv[0]);
    if (program.empty()) {
        return false;
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    SpawnAttributes attributes;
    if (!attributes.ok()) {
        return false;
    }
    pid_t child = 0;
    // glibc reports a failed exec (missing file, no execute right) here.
    if (posix_spawn(&child, program.c_str(), nullptr, attributes.get(), args.data(), environ) !=
        0) {
        return false;
    }
    std::thread([child] {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

bool open_with_default_program(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const std::string opener = find_program("xdg-open", {});
    if (opener.empty()) {
        return false;
    }
    // A name starting with "-" would be taken for an option.
    return start_detached({opener, path.front() == '-' ? "./" + path : path});
}

} // namespace platform
