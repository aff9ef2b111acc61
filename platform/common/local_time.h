// The calendar fields of the C library's broken-down time as LocalTime.
#pragma once

#include "platform/clock.h"

#include <ctime>

namespace platform {

inline LocalTime local_time_of(const std::tm& t) {
    LocalTime out;
    out.year = static_cast<std::int64_t>(t.tm_year) + 1900;
    out.month = t.tm_mon + 1;
    out.day = t.tm_mday;
    out.hour = t.tm_hour;
    out.minute = t.tm_min;
    out.second = t.tm_sec;
    return out;
}

} // namespace platform
