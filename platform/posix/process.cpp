// POSIX only: the environment block is the `environ` array; failed writes
// raise SIGPIPE and SIGXFSZ unless those are ignored.
#include "platform/process.h"

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

std::vector<std::string> environment_entries() {
    std::vector<std::string> entries;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e)
        entries.emplace_back(*e);
    return entries;
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

void exit_process_now(int code) {
    _exit(code);
}

} // namespace platform
