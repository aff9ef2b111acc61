// Win32 only: binary streams through _setmode, whole writes through WriteFile
// on the stream's handle, local time through the run-time library's
// _localtime64_s, the clock through GetSystemTimeAsFileTime.
#include "platform/io.h"

#include "platform/common/local_time.h"

#include "platform/win32/append_lock.h"
#include "platform/win32/handle_io.h"

#include <windows.h>

#include <ctime>
#include <fcntl.h>
#include <io.h>

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

bool append_record(FileHandle file, std::string_view bytes) {
    const HANDLE handle = handle_of(file);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    if (bytes.empty()) {
        return true;
    }
    if (bytes.size() > 0xFFFFFFFFu) {
        return false;
    }
    const win32::AppendLock lock(handle);
    DWORD written = 0;
    const BOOL ok =
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (ok && written == bytes.size()) {
        return true;
    }
    if (written == 0) {
        return false;
    }
    // The write went to the end of the file and the file pointer stands
    // behind it; when the file still ends there, no other writer has
    // appended since, and the part is cut off again.
    LARGE_INTEGER zero{};
    LARGE_INTEGER end{};
    LARGE_INTEGER size{};
    if (SetFilePointerEx(handle, zero, &end, FILE_CURRENT) && GetFileSizeEx(handle, &size) &&
        end.QuadPart == size.QuadPart && end.QuadPart >= static_cast<LONGLONG>(written)) {
        FILE_END_OF_FILE_INFO cut{};
        cut.EndOfFile.QuadPart = end.QuadPart - written;
        SetFileInformationByHandle(handle, FileEndOfFileInfo, &cut, sizeof cut);
    }
    return false;
}

bool to_local_time(std::int64_t seconds, LocalTime& out) {
    const auto time = static_cast<__time64_t>(seconds);
    std::tm local{};
    if (_localtime64_s(&local, &time) != 0) {
        return false;
    }
    out = local_time_of(local);
    return true;
}

LocalZone::LocalZone() = default;

bool LocalZone::convert(std::int64_t seconds, LocalTime& out) const {
    return to_local_time(seconds, out);
}

void current_time(std::int64_t& seconds, std::int32_t& microseconds) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    // 100-nanosecond units since 1601; 1970 lies 11 644 473 600 s later.
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const std::uint64_t since1970 = ticks - 116444736000000000ull;
    seconds = static_cast<std::int64_t>(since1970 / 10000000u);
    microseconds = static_cast<std::int32_t>((since1970 % 10000000u) / 10u);
}

} // namespace platform
