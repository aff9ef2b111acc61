// Time text of entry times.
#include "cgi/time_value.h"

#include "platform/io.h"

#include <cstdio>

TimeValue TimeValue::make(std::int64_t sec, std::int64_t usec) {
    sec += usec / 1000000;
    usec %= 1000000;
    if (usec < 0) {
        usec += 1000000;
        sec -= 1;
    }
    return TimeValue{sec, static_cast<std::int32_t>(usec)};
}

std::string TimeValue::to_text() const {
    if (is_missing())
        return kMissingTimeText;
    // Entries of a folder often share their time to the second: convert each
    // second once.
    thread_local std::int64_t cachedSeconds = 0;
    thread_local std::string cachedText;
    if (cachedText.empty() || cachedSeconds != seconds) {
        cachedText.clear();
        // The date part has at most 23 bytes, the microseconds 6 digits.
        if (!platform::format_local_time(seconds, "%Y/%m/%d %H:%M:%S.", 23, cachedText))
            return kMissingTimeText;
        cachedSeconds = seconds;
    }
    std::string text = cachedText;
    char usec[16];
    std::snprintf(usec, sizeof usec, "%06ld", static_cast<long>(microseconds));
    text += usec;
    return text;
}
