// POSIX only: opens and writes on file descriptors, retried after signals,
// and the text of errno.
#include "platform/posix/fd_io.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::posix {

int open_retrying(const char* name, int flags, mode_t mode, int dir) {
    for (;;) {
        const int fd = openat(dir, name, flags, mode);
        if (fd >= 0 || errno != EINTR) {
            return fd;
        }
    }
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string last_error_text() {
    return errno == 0 ? std::string("unknown error") : std::string(std::strerror(errno));
}

} // namespace platform::posix
