// Win32 only: the multimedia timer's millisecond count (timeGetTime), with a
// 1 ms timer resolution requested at first use (timeBeginPeriod) and
// returned at process exit; local time through the run-time library's
// _localtime64_s, the wall clock through GetSystemTimeAsFileTime.
#include "platform/clock.h"

#include "platform/common/local_time.h"

#include <windows.h>

#include <mmsystem.h>

#include <ctime>

namespace platform {

namespace {

// Resolution holds the 1 ms resolution while the process runs.
struct Resolution {
    bool granted = timeBeginPeriod(1) == TIMERR_NOERROR;
    ~Resolution() {
        if (granted) {
            timeEndPeriod(1);
        }
    }
};

} // namespace

std::uint32_t clock_ms() {
    static const Resolution resolution;
    return static_cast<std::uint32_t>(timeGetTime());
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
