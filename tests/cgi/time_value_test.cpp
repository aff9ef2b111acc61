// Tests of the time texts of entries.
#include "cgi/time_value.h"

#include "support/host.h"
#include "support/time_zone.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TimeValue, TextOfTimesShownAndNot) {
    const ScopedTimeZone utc("UTC0");
    EXPECT_EQ(TimeValue::make(1100000000, 120000).to_text(), "2004/11/09 11:33:20.120000");
    EXPECT_EQ(TimeValue::make(1, 0).to_text(), "1970/01/01 00:00:01.000000");
    EXPECT_EQ(TimeValue::make(0, 0).to_text(), kMissingTimeText);
    // A year of five digits still fits; one beyond seven digits does not.
    // The Windows run-time library converts times up to the year 3000 only.
    EXPECT_EQ(TimeValue::make(327429878400LL, 5).to_text(),
              host_is_windows ? kMissingTimeText : "12345/11/03 16:00:00.000005");
    EXPECT_EQ(TimeValue::make(400000000000000LL, 0).to_text(), kMissingTimeText);
}

TEST(TimeValue, MinutesAreTheFirstSixteenBytesOfTheText) {
    const ScopedTimeZone utc("UTC0");
    const platform::LocalZone zone;
    const TimeValue times[] = {
        TimeValue::make(1100000000, 120000),
        TimeValue::make(1, 0),
        TimeValue::make(0, 0),                  // missing
        TimeValue::make(-62135596800LL, 0),     // year 1
        TimeValue::make(-62167219201LL, 0),     // the last second before year 0
        TimeValue::make(253402300799LL, 0),     // the last second of year 9999
        TimeValue::make(253402300800LL, 0),     // year 10000
        TimeValue::make(400000000000000LL, 0),  // a year that cannot be shown
        TimeValue::make(-400000000000000LL, 0), // nor before
    };
    for (const TimeValue& t : times) {
        std::string minutes = "row:";
        t.append_minutes(minutes, zone);
        EXPECT_EQ(minutes, "row:" + t.to_text().substr(0, 16)) << t.seconds;
    }
}

} // namespace
