// Tests of the zone file reader: the same local times as the C library for
// the system's zone files, and no answer where a file leaves it in doubt.
#include "platform/posix/zone_rules.h"

#include "platform/file.h"
#include "support/time_zone.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using platform::LocalTime;
using platform::posix::civil_time;
using platform::posix::ZoneRules;

std::array<std::int64_t, 6> fields(const LocalTime& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second};
}

std::array<std::int64_t, 6> fields(const std::tm& t) {
    return {std::int64_t{t.tm_year} + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

// ---- synthetic zone files ----

void put32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

void put64(std::string& out, std::int64_t v) {
    put32(out, static_cast<std::uint32_t>(static_cast<std::uint64_t>(v) >> 32));
    put32(out, static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

struct ZoneType {
    std::int32_t offset;
    bool dst;
};

struct ZoneFile {
    std::vector<std::int64_t> times;
    std::vector<unsigned char> typeOf; // per transition
    std::vector<ZoneType> types;
    std::string footer; // the POSIX text between the newlines
    char version = '2';
    std::uint32_t leaps = 0;

    std::string bytes() const {
        std::string out;
        auto header = [&](std::uint32_t leapCount, std::uint32_t timeCount, std::uint32_t typeCount,
                          std::uint32_t charCount) {
            out += "TZif";
            out += version;
            out.append(15, '\0');
            put32(out, 0);
            put32(out, 0);
            put32(out, leapCount);
            put32(out, timeCount);
            put32(out, typeCount);
            put32(out, charCount);
        };
        // A minimal version-1 block: one type, one name byte.
        header(0, 0, 1, 1);
        out.append(7, '\0');
        if (version < '2')
            return out;
        header(leaps, static_cast<std::uint32_t>(times.size()),
               static_cast<std::uint32_t>(types.size()), 4);
        for (const std::int64_t t : times)
            put64(out, t);
        for (const unsigned char i : typeOf)
            out += static_cast<char>(i);
        for (const ZoneType& t : types) {
            put32(out, static_cast<std::uint32_t>(t.offset));
            out += static_cast<char>(t.dst ? 1 : 0);
            out += '\0';
        }
        out.append("ABC", 4);
        out.append(std::size_t{leaps} * 12, '\0');
        out += '\n';
        out += footer;
        out += '\n';
        return out;
    }
};

// Standard time +1 h, summer time +2 h from 1000 to 2000, +1 h again after.
ZoneFile summer_zone(std::string footer) {
    ZoneFile z;
    z.types = {{7200, true}, {3600, false}};
    z.times = {1000, 2000};
    z.typeOf = {0, 1};
    z.footer = std::move(footer);
    return z;
}

TEST(ZoneRules, OffsetsFollowTheTransitions) {
    const auto rules = ZoneRules::parse(summer_zone("CET-1").bytes());
    ASSERT_TRUE(rules.has_value());
    // Before the first transition: the first standard-time type, not the
    // first type.
    EXPECT_EQ(rules->utc_offset(999), 3600);
    EXPECT_EQ(rules->utc_offset(-5'000'000'000LL), 3600);
    EXPECT_EQ(rules->utc_offset(1000), 7200);
    EXPECT_EQ(rules->utc_offset(1999), 7200);
    // From the last transition on, the footer's fixed offset.
    EXPECT_EQ(rules->utc_offset(2000), 3600);
    EXPECT_EQ(rules->utc_offset(4'000'000'000LL), 3600);
}

TEST(ZoneRules, FooterOffsetsAreReadAsTheCLibraryReadsThem) {
    struct Row {
        const char* footer;
        std::optional<std::int32_t> after;
    };
    const Row table[] = {
        {"JST-9", 9 * 3600},
        {"UTC0", 0},
        {"<+0530>-5:30", 5 * 3600 + 30 * 60},
        {"<-03>3", -3 * 3600},
        {"<+1245>-12:45", 12 * 3600 + 45 * 60},
        {"XYZ+1:02:03", -(3600 + 2 * 60 + 3)},
        {"ABC99", -24 * 3600},                        // hours beyond 24 are clamped
        {"", 3600},                                   // no text: the last transition's type
        {"CET-1CEST,M3.5.0,M10.5.0/3", std::nullopt}, // summer time: the C library's
        {"EST5EDT", std::nullopt},                    // default summer rules
        {"AB-1", std::nullopt},                       // a name too short
        {"UTC", std::nullopt},                        // no offset
        {"UTC0,", std::nullopt},
        {"UTC123", std::nullopt},
    };
    for (const Row& row : table) {
        const auto rules = ZoneRules::parse(summer_zone(row.footer).bytes());
        ASSERT_TRUE(rules.has_value()) << row.footer;
        EXPECT_EQ(rules->utc_offset(3000), row.after) << row.footer;
        EXPECT_EQ(rules->utc_offset(1500), 7200) << row.footer;
    }
}

TEST(ZoneRules, FilesInDoubtAreLeftToTheCLibrary) {
    const std::string good = summer_zone("CET-1").bytes();
    ASSERT_TRUE(ZoneRules::parse(good).has_value());

    std::vector<std::pair<const char*, std::string>> bad;
    bad.emplace_back("empty", "");
    bad.emplace_back("cut short", good.substr(0, good.size() - 12));
    bad.emplace_back("no footer", good.substr(0, good.size() - 7));
    bad.emplace_back("wrong magic", "TZix" + good.substr(4));
    bad.emplace_back("footer not on its own line", good.substr(0, good.size() - 1) + "x");
    ZoneFile z = summer_zone("CET-1");
    z.version = '\0';
    bad.emplace_back("version 1", z.bytes());
    z = summer_zone("CET-1");
    z.leaps = 1;
    bad.emplace_back("leap seconds", z.bytes());
    z = summer_zone("CET-1");
    z.times = {2000, 1000};
    bad.emplace_back("transitions out of order", z.bytes());
    z = summer_zone("CET-1");
    z.times = {1000, 1000};
    bad.emplace_back("transitions at one time", z.bytes());
    z = summer_zone("CET-1");
    z.typeOf = {0, 2};
    bad.emplace_back("type index beyond the types", z.bytes());
    z = summer_zone("CET-1");
    z.types.clear();
    z.typeOf.clear();
    z.times.clear();
    bad.emplace_back("no types", z.bytes());
    for (const auto& [what, bytes] : bad)
        EXPECT_FALSE(ZoneRules::parse(bytes).has_value()) << what;
}

// ---- the calendar ----

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

TEST(CivilTime, AddsTheOffsetAcrossDaysAndYears) {
    LocalTime t;
    ASSERT_TRUE(civil_time(1704067199, 1, t)); // 2023-12-31 23:59:59 UTC
    EXPECT_EQ(fields(t), (std::array<std::int64_t, 6>{2024, 1, 1, 0, 0, 0}));
    ASSERT_TRUE(civil_time(0, -1, t));
    EXPECT_EQ(fields(t), (std::array<std::int64_t, 6>{1969, 12, 31, 23, 59, 59}));
    ASSERT_TRUE(civil_time(-86400, 14 * 3600, t));
    EXPECT_EQ(fields(t), (std::array<std::int64_t, 6>{1969, 12, 31, 14, 0, 0}));
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
