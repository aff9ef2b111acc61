// Win32 only: binary streams through _setmode, whole writes through WriteFile
// on the stream's handle.
#include "platform/io.h"

#include "platform/win32/handle_io.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <string>

namespace platform {

namespace {

HANDLE handle_of(int fd) {
    return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

} // namespace

void set_binary_mode(std::FILE* stream) {
    _setmode(_fileno(stream), _O_BINARY);
}

bool write_response(std::FILE* stream, std::string_view head, std::string_view body) {
    if (std::fflush(stream) != 0) {
        return false;
    }
    const HANDLE handle = handle_of(_fileno(stream));
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    // Windows has no gathering write for pipes: a page of usual size goes
    // out joined in one call, a large one as header and then body, so that
    // the body is never copied.
    constexpr std::size_t joinLimit = 256 * 1024;
    if (head.size() + body.size() <= joinLimit) {
        std::string joined;
        joined.reserve(head.size() + body.size());
        joined.append(head).append(body);
        return win32::write_all(handle, joined);
    }
    return win32::write_all(handle, head) && win32::write_all(handle, body);
}

} // namespace platform
