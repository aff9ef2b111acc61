// TimeValue: a point in time as seconds since 1970 (UTC) and microseconds.
#pragma once

#include "platform/clock.h"

#include <cstdint>
#include <string>

struct TimeValue {
    std::int64_t seconds = 0;      // 64-bit: file times after 2038 stay exact
    std::int32_t microseconds = 0; // 0-999999 once normalised

    // make builds a normalised value: whole seconds in `usec` move into the
    // seconds, so that the microseconds lie in 0-999999.
    static TimeValue make(std::int64_t sec, std::int64_t usec);

    // is_missing: 0/0 stands for a time that is not known.
    bool is_missing() const { return seconds == 0 && microseconds == 0; }

    // to_text returns the local time as "2004/11/05 09:07:03.120000" (26
    // bytes), or "**/**/** **:**:**.******" for a missing time and for a time
    // the local-time conversion cannot represent.
    std::string to_text() const;

    // append_text appends the time text to `out`, converted in `zone` (a
    // listing converts all its times in one).
    void append_text(std::string& out, const platform::LocalZone& zone) const;
    void append_text(std::string& out) const { append_text(out, platform::LocalZone()); }

    // append_minutes appends the first 16 bytes of the time text: the date,
    // hours and minutes.
    void append_minutes(std::string& out, const platform::LocalZone& zone) const;
};

// kMissingTimeText is the time text of a missing time.
inline constexpr const char kMissingTimeText[] = "**/**/** **:**:**.******";
