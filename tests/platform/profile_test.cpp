// Profile files as Vanecfg keeps its settings: names without regard to
// case, trimmed values, defaults for what is missing, and writes that touch
// only the one key's line.
#include "platform/file.h"
#include "platform/profile.h"

#include "support/file_text.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using platform::read_profile_string;
using platform::write_profile_string;

TEST(ProfileTest, ReadsWithoutRegardToCaseAndTrimsValues) {
    TempCwd cwd;
    const std::string path = cwd.path("Vanecfg.ini");
    write_all(path, "; comment\r\n[Other]\r\ninidir=wrong\r\n"
                    "  [ TOOL ]  \r\n  InIdIr =  /srv/cgi  \r\nquoted=\"a b\"\r\n"
                    "empty=\r\nnoequals\r\n");
    EXPECT_EQ(read_profile_string(path, "tool", "inidir", "x"), "/srv/cgi");
    EXPECT_EQ(read_profile_string(path, "Tool", "QUOTED", "x"), "a b");
    // A key present with an empty value is empty, not the default.
    EXPECT_EQ(read_profile_string(path, "tool", "empty", "x"), "");
    EXPECT_EQ(read_profile_string(path, "tool", "noequals", "x"), "x");
    EXPECT_EQ(read_profile_string(path, "tool", "missing", "fallback"), "fallback");
    EXPECT_EQ(read_profile_string(path, "none", "inidir", "fallback"), "fallback");
    EXPECT_EQ(read_profile_string(cwd.path("absent.ini"), "tool", "inidir", "d"), "d");
}

TEST(ProfileTest, WriteCreatesFileSectionAndKey) {
    TempCwd cwd;
    const std::string path = cwd.path("new.ini");
    ASSERT_TRUE(write_profile_string(path, "tool", "swfile", "1"));
    EXPECT_EQ(read_all(path), "[tool]\r\nswfile=1\r\n");
    ASSERT_TRUE(write_profile_string(path, "tool", "ua0", "Mozilla/5.0"));
    ASSERT_TRUE(write_profile_string(path, "conf", "k", "v"));
    EXPECT_EQ(read_all(path), "[tool]\r\nswfile=1\r\nua0=Mozilla/5.0\r\n\r\n[conf]\r\nk=v\r\n");
    EXPECT_EQ(read_profile_string(path, "TOOL", "UA0", ""), "Mozilla/5.0");
}

TEST(ProfileTest, WriteKeepsEveryOtherLineAsItWas) {
    TempCwd cwd;
    const std::string path = cwd.path("Vanecfg.ini");
    const std::string before = "# Vanecfg.ini\r\n\r\n[TOOL]\r\n  SwFile = 0 ; old\r\n"
                               "other=keep me\n\r\n[ini]\r\n\r\n[conf]\r\n\r\n";
    write_all(path, before);
    ASSERT_TRUE(write_profile_string(path, "tool", "swfile", "1"));
    // The key keeps its stored spelling; the file's other bytes stay.
    EXPECT_EQ(read_all(path), "# Vanecfg.ini\r\n\r\n[TOOL]\r\nSwFile=1\r\n"
                              "other=keep me\n\r\n[ini]\r\n\r\n[conf]\r\n\r\n");
    // A new key goes after the section's last line, not after its blanks.
    ASSERT_TRUE(write_profile_string(path, "tool", "inidir", "/opt/dv"));
    EXPECT_EQ(read_all(path), "# Vanecfg.ini\r\n\r\n[TOOL]\r\nSwFile=1\r\n"
                              "other=keep me\ninidir=/opt/dv\r\n\r\n[ini]\r\n\r\n[conf]\r\n\r\n");
}

TEST(ProfileTest, RefusesWhatWouldCorruptTheFile) {
    TempCwd cwd;
    const std::string path = cwd.path("Vanecfg.ini");
    write_all(path, "[tool]\r\na=1\r\n");
    // A value with a line break would make a second line, names with "="
    // or "]" could not be found again.
    EXPECT_FALSE(write_profile_string(path, "tool", "a", "x\r\n[evil]"));
    EXPECT_FALSE(write_profile_string(path, "tool", "a=b", "x"));
    EXPECT_FALSE(write_profile_string(path, "to]ol", "a", "x"));
    EXPECT_FALSE(write_profile_string(path, "", "a", "x"));
    EXPECT_EQ(read_all(path), "[tool]\r\na=1\r\n");
    // A folder where the file should be is never replaced.
    std::filesystem::create_directory(cwd.path("folder.ini"));
    EXPECT_FALSE(write_profile_string(cwd.path("folder.ini"), "tool", "a", "x"));
    EXPECT_TRUE(std::filesystem::is_directory(cwd.path("folder.ini")));
}

TEST(ProfileTest, ValueRoundTripsThroughWriteAndRead) {
    TempCwd cwd;
    const std::string path = cwd.path("Vanecfg.ini");
    for (const std::string value : {"", "plain", "with = sign", "日本語 Shift_JISでなく", "a;b"}) {
        ASSERT_TRUE(write_profile_string(path, "tool", "key", value));
        EXPECT_EQ(read_profile_string(path, "tool", "key", "default"), value);
    }
}

} // namespace
