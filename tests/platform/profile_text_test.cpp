// The text rules of profile files: names without regard to case, trimmed
// values, nothing found where a section or key is missing, and writes that
// touch only the one key's line.
#include "platform/common/profile_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using platform::profile_text_value;
using platform::profile_text_with;
using platform::valid_profile_entry;

TEST(ProfileText, ReadsWithoutRegardToCaseAndTrimsValues) {
    const std::string text = "\xEF\xBB\xBF; comment\r\n[Other]\r\ninidir=wrong\r\n"
                             "  [ TOOL ]  \r\n  InIdIr =  /srv/cgi  \r\nquoted=\"a b\"\r\n"
                             "single='c'\r\nempty=\r\nnoequals\r\n";
    EXPECT_EQ(profile_text_value(text, "tool", "inidir"), "/srv/cgi");
    EXPECT_EQ(profile_text_value(text, "Tool", "QUOTED"), "a b");
    EXPECT_EQ(profile_text_value(text, "tool", "single"), "c");
    // A key present with an empty value is empty, not missing.
    EXPECT_EQ(profile_text_value(text, "tool", "empty"), "");
    EXPECT_EQ(profile_text_value(text, "tool", "noequals"), std::nullopt);
    EXPECT_EQ(profile_text_value(text, "tool", "missing"), std::nullopt);
    EXPECT_EQ(profile_text_value(text, "none", "inidir"), std::nullopt);
    EXPECT_EQ(profile_text_value("", "tool", "inidir"), std::nullopt);
}

TEST(ProfileText, WriteCreatesSectionAndKey) {
    std::string text = profile_text_with("", "tool", "swfile", "1");
    EXPECT_EQ(text, "[tool]\r\nswfile=1\r\n");
    text = profile_text_with(text, "tool", "ua0", "Mozilla/5.0");
    text = profile_text_with(text, "conf", "k", "v");
    EXPECT_EQ(text, "[tool]\r\nswfile=1\r\nua0=Mozilla/5.0\r\n\r\n[conf]\r\nk=v\r\n");
    EXPECT_EQ(profile_text_value(text, "TOOL", "UA0"), "Mozilla/5.0");
    // A last line without its line break gets one before the new section.
    EXPECT_EQ(profile_text_with("[a]\r\nx=1", "b", "y", "2"), "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n");
}

TEST(ProfileText, WriteKeepsEveryOtherLineAsItWas) {
    const std::string before = "# Vanecfg.ini\r\n\r\n[TOOL]\r\n  SwFile = 0 ; old\r\n"
                               "other=keep me\n\r\n[ini]\r\n\r\n[conf]\r\n\r\n";
    // The key keeps its stored spelling; the text's other bytes stay.
    const std::string after = profile_text_with(before, "tool", "swfile", "1");
    EXPECT_EQ(after, "# Vanecfg.ini\r\n\r\n[TOOL]\r\nSwFile=1\r\n"
                     "other=keep me\n\r\n[ini]\r\n\r\n[conf]\r\n\r\n");
    // A new key goes after the section's last line, not after its blanks.
    EXPECT_EQ(profile_text_with(after, "tool", "inidir", "/opt/dv"),
              "# Vanecfg.ini\r\n\r\n[TOOL]\r\nSwFile=1\r\n"
              "other=keep me\ninidir=/opt/dv\r\n\r\n[ini]\r\n\r\n[conf]\r\n\r\n");
}

TEST(ProfileText, RefusesWhatWouldCorruptTheText) {
    // A value with a line break would make a second line, names with "="
    // or "]" could not be found again.
    EXPECT_TRUE(valid_profile_entry("tool", "a", "x = y; z"));
    EXPECT_FALSE(valid_profile_entry("tool", "a", "x\r\n[evil]"));
    EXPECT_FALSE(valid_profile_entry("tool", "a", "x\ny=2"));
    EXPECT_FALSE(valid_profile_entry("tool", "a\rb", "x"));
    EXPECT_FALSE(valid_profile_entry("to\nol", "a", "x"));
    EXPECT_FALSE(valid_profile_entry("tool", "a=b", "x"));
    EXPECT_FALSE(valid_profile_entry("to]ol", "a", "x"));
    EXPECT_FALSE(valid_profile_entry("tool", "[a", "x"));
    EXPECT_FALSE(valid_profile_entry("tool", ";a", "x"));
    EXPECT_FALSE(valid_profile_entry("", "a", "x"));
    EXPECT_FALSE(valid_profile_entry("tool", " ", "x"));
}

TEST(ProfileText, ValueRoundTripsThroughWriteAndRead) {
    std::string text;
    for (const std::string value : {"", "plain", "with = sign", "日本語 Shift_JISでなく", "a;b"}) {
        text = profile_text_with(text, "tool", "key", value);
        EXPECT_EQ(profile_text_value(text, "tool", "key"), value);
    }
    EXPECT_EQ(text, "[tool]\r\nkey=a;b\r\n");
}

} // namespace
