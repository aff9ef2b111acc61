// POSIX only: the monotonic clock, whose resolution is fine already; the
// wall clock through clock_gettime; local times through localtime_r, and
// through the zone file itself for whole folders of times.
#include "platform/clock.h"

#include "platform/common/local_time.h"
#include "platform/common/zone_rules.h"
#include "platform/file.h"

#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>
#include <time.h>

namespace platform {

std::uint32_t clock_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

bool to_local_time(std::int64_t seconds, LocalTime& out) {
    if constexpr (sizeof(std::time_t) < sizeof(std::int64_t)) {
        if (seconds < std::numeric_limits<std::time_t>::min() ||
            seconds > std::numeric_limits<std::time_t>::max()) {
            return false;
        }
    }
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) {
        return false;
    }
    out = local_time_of(local);
    return true;
}

namespace {

// The rules of the system's default zone, read at the first conversion that
// needs them; nullptr when the C library converts.
const ZoneRules* system_zone_rules() {
    static const std::optional<ZoneRules> rules = [] {
        std::string bytes;
        if (!read_file_contents("/etc/localtime", bytes))
            return std::optional<ZoneRules>();
        return ZoneRules::parse(bytes);
    }();
    return rules ? &*rules : nullptr;
}

} // namespace

// Without TZ the C library reads /etc/localtime; with it, its own rules
// (names, POSIX texts, TZDIR) hold and it converts every time itself.
LocalZone::LocalZone() : m_systemZone(std::getenv("TZ") == nullptr) {}

bool LocalZone::convert(std::int64_t seconds, LocalTime& out) const {
    if (m_systemZone) {
        if (const ZoneRules* rules = system_zone_rules()) {
            if (const auto offset = rules->utc_offset(seconds))
                return civil_time(seconds, *offset, out);
        }
    }
    return to_local_time(seconds, out);
}

void current_time(std::int64_t& seconds, std::int32_t& microseconds) {
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) {
        seconds = 0;
        microseconds = 0;
        return;
    }
    seconds = static_cast<std::int64_t>(now.tv_sec);
    microseconds = static_cast<std::int32_t>(now.tv_nsec / 1000);
}

} // namespace platform
