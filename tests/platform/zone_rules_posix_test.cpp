// Tests of the zone file reader and the calendar arithmetic against the C
// library: the calendar over the whole range of gmtime_r, and the local times
// of localtime_r for the system's own zone files.
#include "platform/common/zone_rules.h"

#include "platform/file.h"
#include "support/time_zone.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using platform::civil_time;
using platform::LocalTime;
using platform::ZoneRules;

std::array<std::int64_t, 6> fields(const LocalTime& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second};
}

std::array<std::int64_t, 6> fields(const std::tm& t) {
    return {std::int64_t{t.tm_year} + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

TEST(CivilTime, MatchesTheCLibraryOverTheWholeRange) {
    std::mt19937_64 random(7);
    std::vector<std::int64_t> times = {0,
                                       -1,
                                       951782400,   // 2000-02-29
                                       4107542400,  // 2100-03-01 (no leap day)
                                       -2203891200, // 1900-02-28
                                       -62135596800,
                                       253402300799,
                                       std::numeric_limits<std::int64_t>::max(),
                                       std::numeric_limits<std::int64_t>::min()};
    for (int i = 0; i < 20000; ++i) {
        // Every magnitude, up to where years stop fitting.
        const int bits = static_cast<int>(random() % 62);
        const auto magnitude = static_cast<std::int64_t>(random() >> (63 - bits));
        times.push_back(random() % 2 == 0 ? magnitude : -magnitude);
    }
    for (const std::int64_t t : times) {
        const auto time = static_cast<std::time_t>(t);
        std::tm expected{};
        const bool converts = gmtime_r(&time, &expected) != nullptr;
        LocalTime got;
        ASSERT_EQ(civil_time(t, 0, got), converts) << t;
        if (converts) {
            ASSERT_EQ(fields(got), fields(expected)) << t;
        }
    }
}

// ---- the system's zone files against the C library ----

std::int64_t library_offset(std::int64_t t) {
    const auto time = static_cast<std::time_t>(t);
    std::tm local{};
    return localtime_r(&time, &local) != nullptr ? local.tm_gmtoff : INT64_MIN;
}

TEST(ZoneRules, SystemZoneFilesGiveTheCLibrarysLocalTimes) {
    const char* zones[] = {"Etc/UTC",          "Asia/Tokyo",          "Europe/Berlin",
                           "America/New_York", "Australia/Lord_Howe", "America/Sao_Paulo",
                           "Pacific/Apia",     "Asia/Kolkata",        "Africa/Casablanca",
                           "Europe/Dublin"};
    int checkedZones = 0;
    for (const char* zone : zones) {
        const std::string path = std::string("/usr/share/zoneinfo/") + zone;
        std::string bytes;
        if (!platform::read_file_contents(path, bytes))
            continue;
        SCOPED_TRACE(zone);
        const auto rules = ZoneRules::parse(bytes);
        ASSERT_TRUE(rules.has_value());
        ++checkedZones;
        const ScopedTimeZone system((":" + path).c_str());

        std::size_t answered = 0;
        auto check = [&](std::int64_t t) {
            const auto offset = rules->utc_offset(t);
            if (!offset)
                return;
            ++answered;
            const auto time = static_cast<std::time_t>(t);
            std::tm expected{};
            ASSERT_NE(localtime_r(&time, &expected), nullptr) << t;
            LocalTime got;
            ASSERT_TRUE(civil_time(t, *offset, got)) << t;
            ASSERT_EQ(fields(got), fields(expected)) << t;
        };
        // Steps over 1890-2050; wherever the offset changes between two
        // steps, the exact transition is found and checked on both sides.
        constexpr std::int64_t kStep = 7 * 3600 + 13;
        std::int64_t previous = -2524521600;
        std::int64_t previousOffset = library_offset(previous);
        for (std::int64_t t = previous + kStep; t < 2524608000; t += kStep) {
            check(t);
            const std::int64_t offset = library_offset(t);
            if (offset != previousOffset) {
                std::int64_t lo = previous, hi = t;
                while (hi - lo > 1) {
                    const std::int64_t mid = lo + (hi - lo) / 2;
                    (library_offset(mid) == previousOffset ? lo : hi) = mid;
                }
                for (std::int64_t near = hi - 2; near <= hi + 1; ++near)
                    check(near);
            }
            previous = t;
            previousOffset = offset;
        }
        check(std::numeric_limits<std::int32_t>::min() - std::int64_t{1});
        check(-1);
        check(0);
        // Most times have an answer of the reader's own.
        EXPECT_GT(answered, 100000u);
    }
    if (checkedZones == 0)
        GTEST_SKIP() << "no zone files in /usr/share/zoneinfo";
}

} // namespace
