// Win32 only: the multimedia timer's millisecond count (timeGetTime), with a
// 1 ms timer resolution requested at first use (timeBeginPeriod) and
// returned at process exit.
#include "platform/clock.h"

#include <windows.h>

#include <mmsystem.h>

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

} // namespace platform
