// Tests of the zone file reader on made-up zone files: the offsets of their
// transitions and footers, and no answer where a file leaves a doubt; and of
// the calendar arithmetic. zone_rules_posix_test.cpp holds the comparisons
// with the C library.
#include "platform/common/zone_rules.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

using platform::civil_time;
using platform::LocalTime;
using platform::ZoneRules;

std::array<std::int64_t, 6> fields(const LocalTime& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second};
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

TEST(CivilTime, AddsTheOffsetAcrossDaysAndYears) {
    LocalTime t;
    ASSERT_TRUE(civil_time(1704067199, 1, t)); // 2023-12-31 23:59:59 UTC
    EXPECT_EQ(fields(t), (std::array<std::int64_t, 6>{2024, 1, 1, 0, 0, 0}));
    ASSERT_TRUE(civil_time(0, -1, t));
    EXPECT_EQ(fields(t), (std::array<std::int64_t, 6>{1969, 12, 31, 23, 59, 59}));
    ASSERT_TRUE(civil_time(-86400, 14 * 3600, t));
    EXPECT_EQ(fields(t), (std::array<std::int64_t, 6>{1969, 12, 31, 14, 0, 0}));
}

} // namespace
