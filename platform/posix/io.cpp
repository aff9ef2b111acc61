// POSIX only: streams never translate line ends; a response goes out in one
// gathering write.
#include "platform/io.h"

#include <cerrno>
#include <sys/uio.h>
#include <unistd.h>

namespace platform {

void set_binary_mode(std::FILE* stream) {
    // POSIX streams pass every byte through unchanged already.
    (void)stream;
}

bool write_response(std::FILE* stream, std::string_view head, std::string_view body) {
    if (std::fflush(stream) != 0)
        return false;
    const int fd = fileno(stream);
    if (fd < 0) {
        // A stream without a file (a FastCGI request's output) takes both
        // parts through its own writes.
        return std::fwrite(head.data(), 1, head.size(), stream) == head.size() &&
               std::fwrite(body.data(), 1, body.size(), stream) == body.size() &&
               std::fflush(stream) == 0;
    }
    iovec parts[2] = {{const_cast<char*>(head.data()), head.size()},
                      {const_cast<char*>(body.data()), body.size()}};
    iovec* next = parts;
    int count = 2;
    while (count > 0) {
        if (next->iov_len == 0) {
            ++next;
            --count;
            continue;
        }
        const ssize_t n = writev(fd, next, count);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        // A pipe may take part of it: go on behind what was written.
        auto written = static_cast<std::size_t>(n);
        while (count > 0 && written >= next->iov_len) {
            written -= next->iov_len;
            ++next;
            --count;
        }
        if (count > 0) {
            next->iov_base = static_cast<char*>(next->iov_base) + written;
            next->iov_len -= written;
        }
    }
    return true;
}

} // namespace platform
