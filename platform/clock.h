// The millisecond clock of the runtime library's timers.
#pragma once

#include <cstdint>

namespace platform {

// clock_ms returns a monotonic count of milliseconds, truncated to 32 bits
// (it wraps after about 49.7 days). The first call asks the system for its
// finest timer resolution (1 ms), which stays for the process.
std::uint32_t clock_ms();

} // namespace platform
