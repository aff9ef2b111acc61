// Tests of the time services: local calendar, zones and the wall clock.
#include "platform/clock.h"

#include "support/host.h"
#include "support/time_zone.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

namespace {

TEST(ToLocalTime, ConvertsInTheProcessTimeZone) {
    struct Row {
        const char* tz;
        std::int64_t seconds;
        platform::LocalTime expected;
    };
    const Row table[] = {
        {"UTC0", 0, {1970, 1, 1, 0, 0, 0}},
        {"UTC0", 1100000000, {2004, 11, 9, 11, 33, 20}},
        {"UTC0", -1, {1969, 12, 31, 23, 59, 59}},
        {"UTC0", 2147483648LL, {2038, 1, 19, 3, 14, 8}}, // beyond 32 bits
        {"UTC0", -3153600000LL, {1870, 1, 25, 0, 0, 0}},
        {"JST-9", 0, {1970, 1, 1, 9, 0, 0}},
        {"JST-9", 1100000000, {2004, 11, 9, 20, 33, 20}},
    };
    for (const auto& row : table) {
        ScopedTimeZone zone(row.tz);
        platform::LocalTime t;
        if (host_is_windows && row.seconds < 0) {
            // The Windows run-time library has no local time before 1970:
            // such a time shows as the missing time.
            EXPECT_FALSE(platform::to_local_time(row.seconds, t)) << row.seconds;
            continue;
        }
        ASSERT_TRUE(platform::to_local_time(row.seconds, t)) << row.seconds;
        const auto& e = row.expected;
        EXPECT_EQ((std::array<std::int64_t, 6>{t.year, t.month, t.day, t.hour, t.minute, t.second}),
                  (std::array<std::int64_t, 6>{e.year, e.month, e.day, e.hour, e.minute, e.second}))
            << row.tz << " " << row.seconds;
    }
}

TEST(ToLocalTime, FailsForTimesWithoutAYear) {
    ScopedTimeZone zone("UTC0");
    platform::LocalTime t;
    EXPECT_FALSE(platform::to_local_time(std::numeric_limits<std::int64_t>::max(), t));
    EXPECT_FALSE(platform::to_local_time(std::numeric_limits<std::int64_t>::min(), t));
}

TEST(LocalZone, GivesWhatToLocalTimeGives) {
    const char* zones[] = {nullptr, "JST-9", "UTC0", "CET-1CEST,M3.5.0,M10.5.0/3"};
    const std::int64_t times[] = {
        1,          1100000000,
        1711846799, // around a summer-time change in Europe
        1711846800, 4102444800, -3153600000LL, std::numeric_limits<std::int64_t>::max()};
    for (const char* tz : zones) {
        ScopedTimeZone zone(tz);
        const platform::LocalZone local;
        for (const std::int64_t seconds : times) {
            platform::LocalTime expected, got;
            const bool converts = platform::to_local_time(seconds, expected);
            ASSERT_EQ(local.convert(seconds, got), converts) << seconds;
            if (!converts) {
                continue;
            }
            EXPECT_EQ(
                (std::array<std::int64_t, 6>{got.year, got.month, got.day, got.hour, got.minute,
                                             got.second}),
                (std::array<std::int64_t, 6>{expected.year, expected.month, expected.day,
                                             expected.hour, expected.minute, expected.second}))
                << (tz != nullptr ? tz : "(system zone)") << " " << seconds;
        }
    }
}

TEST(CurrentTime, FollowsTheSystemClock) {
    const auto before = std::chrono::system_clock::now();
    std::int64_t seconds = 0;
    std::int32_t microseconds = -1;
    platform::current_time(seconds, microseconds);
    const auto after = std::chrono::system_clock::now();
    const auto now = std::chrono::system_clock::time_point(std::chrono::seconds(seconds) +
                                                           std::chrono::microseconds(microseconds));
    EXPECT_GE(microseconds, 0);
    EXPECT_LE(microseconds, 999999);
    EXPECT_GE(now, std::chrono::time_point_cast<std::chrono::microseconds>(before));
    EXPECT_LE(now, after);
}

} // namespace
