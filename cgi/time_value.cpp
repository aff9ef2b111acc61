// Time text of entry times.
#include "cgi/time_value.h"

#include "platform/io.h"


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
    std::string text;
    text.reserve(26);
    append_text(text);
    return text;
}

void TimeValue::append_text(std::string& out) const {
    if (is_missing()) {
        out += kMissingTimeText;
        return;
    }
    // Entries of a folder often share their time to the second: convert each
    // second once.
    thread_local std::int64_t cachedSeconds = 0;
    thread_local std::string cachedText;
    if (cachedText.empty() || cachedSeconds != seconds) {
        cachedText.clear();
        // The date part has at most 23 bytes, the microseconds 6 digits.
        if (!platform::format_local_time(seconds, "%Y/%m/%d %H:%M:%S.", 23, cachedText)) {
            out += kMissingTimeText;
            return;
        }
        cachedSeconds = seconds;
    }
    out += cachedText;
    char usec[6];
    std::int32_t rest = make(0, microseconds).microseconds;
    for (int i = 5; i >= 0; --i) {
        usec[i] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    }
    out.append(usec, 6);
}
