// Time: the monotonic millisecond clock of the runtime library's timers, and
// the wall clock with the local calendar of the process's time zone.
#pragma once

#include <cstdint>

namespace platform {

// clock_ms returns a monotonic count of milliseconds, truncated to 32 bits
// (it wraps after about 49.7 days). The first call asks the system for its
// finest timer resolution (1 ms), which stays for the process.
std::uint32_t clock_ms();

// current_time returns the system clock as seconds since 1970 (UTC) and
// microseconds.
void current_time(std::int64_t& seconds, std::int32_t& microseconds);

// LocalTime is a point in time as the local calendar shows it.
struct LocalTime {
    std::int64_t year = 0; // e.g. 2004
    int month = 0;         // 1-12
    int day = 0;           // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// to_local_time converts `seconds` since 1970 (UTC) to the local calendar of
// the process's time zone. Returns false when the time cannot be converted.
bool to_local_time(std::int64_t seconds, LocalTime& out);

// LocalZone converts many times to the local calendar, each as to_local_time
// does, at a fraction of its cost: the process's time zone is taken as it
// stands when the object is made.
class LocalZone {
  public:
    LocalZone();
    bool convert(std::int64_t seconds, LocalTime& out) const;

  private:
    bool m_systemZone = false; // the process uses the system's default zone
};

} // namespace platform
