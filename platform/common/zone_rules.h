// ZoneRules: the UTC offsets of a time zone file (the TZif format of
// /etc/localtime and /usr/share/zoneinfo), read once so that converting the
// times of a whole folder costs a search and some arithmetic each.
//
// The offsets are the C library's own: wherever the file leaves a doubt
// (leap seconds, a version-1 file, daylight-saving rules for the times after
// its last transition, anything malformed) the time is left to localtime_r.
#pragma once

#include "platform/clock.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

class ZoneRules {
  public:
    // parse reads a whole zone file; nullopt when it is not one this reader
    // answers exactly for.
    static std::optional<ZoneRules> parse(std::string_view file);

    // utc_offset is the offset (seconds east of UTC) in force at `seconds`,
    // or nullopt when the C library must work it out.
    std::optional<std::int32_t> utc_offset(std::int64_t seconds) const;

  private:
    std::vector<std::int64_t> m_transitions; // strictly ascending
    std::vector<std::int32_t> m_offsetAfter; // the offset from each transition on
    std::int32_t m_offsetBefore = 0;         // before the first transition
    // After the last transition: the offset of a footer without daylight
    // saving, or the last transition's when the footer is empty.
    std::optional<std::int32_t> m_offsetLast;
};

// civil_time is the calendar of `seconds` since 1970 shifted by `offset`
// (proleptic Gregorian, as the C library counts); false when the year does not
// fit the C library's broken-down time.
bool civil_time(std::int64_t seconds, std::int32_t offset, LocalTime& out);

} // namespace platform
