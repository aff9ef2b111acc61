// Tests of the stream and time services.
#include "platform/io.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

namespace {

// TimeZone sets the process's time zone for one test and restores it.
class TimeZone {
  public:
    explicit TimeZone(const char* tz) {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (m_had) {
            m_old = old;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TimeZone() {
        if (m_had) {
            setenv("TZ", m_old.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    bool m_had = false;
    std::string m_old;
};

constexpr const char* kFormat = "%Y/%m/%d %H:%M:%S.";

TEST(FormatLocalTime, ConvertsInTheProcessTimeZone) {
    struct Row {
        const char* tz;
        std::int64_t seconds;
        const char* text;
    };
    const Row table[] = {
        {"UTC0", 0, "1970/01/01 00:00:00."},
        {"UTC0", 1100000000, "2004/11/09 11:33:20."},
        {"UTC0", -1, "1969/12/31 23:59:59."},
        {"UTC0", 2147483648LL, "2038/01/19 03:14:08."}, // beyond 32 bits
        {"UTC0", -3153600000LL, "1870/01/25 00:00:00."},
        {"JST-9", 0, "1970/01/01 09:00:00."},
        {"JST-9", 1100000000, "2004/11/09 20:33:20."},
    };
    for (const auto& row : table) {
        TimeZone zone(row.tz);
        std::string out = "old";
        EXPECT_TRUE(platform::format_local_time(row.seconds, kFormat, 24, out)) << row.seconds;
        EXPECT_EQ(out, row.text) << row.tz << " " << row.seconds;
    }
}

TEST(FormatLocalTime, FailsWithEmptyText) {
    TimeZone zone("UTC0");
    struct Row {
        std::int64_t seconds;
        const char* format;
        std::size_t maxBytes;
        bool ok;
        const char* text;
    };
    const Row table[] = {
        {0, kFormat, 20, true, "1970/01/01 00:00:00."}, // exactly max_bytes of text
        {0, kFormat, 19, false, ""},
        {0, kFormat, 0, false, ""},
        {0, "%Y", static_cast<std::size_t>(-1), true, "1970"},
        {0, "", 24, false, ""}, // strftime gives nothing
        {0, nullptr, 24, false, ""},
        {std::numeric_limits<std::int64_t>::max(), kFormat, 24, false, ""}, // no such year
        {std::numeric_limits<std::int64_t>::min(), kFormat, 24, false, ""},
    };
    for (const auto& row : table) {
        std::string out = "old";
        EXPECT_EQ(platform::format_local_time(row.seconds, row.format, row.maxBytes, out), row.ok)
            << row.seconds << " " << row.maxBytes;
        EXPECT_EQ(out, row.text);
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
