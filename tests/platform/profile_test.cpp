// Profile files on POSIX systems, read and replaced whole (the text rules
// are profile_text_test.cpp's): a missing file gives the default, a write
// creates the file, and what a write refuses leaves the file as it was.
#include "platform/file.h"
#include "platform/profile.h"

#include "support/file_text.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using platform::read_profile_string;
using platform::write_profile_string;

TEST(ProfileTest, ReadsTheFileOrGivesTheDefault) {
    TempCwd cwd;
    const std::string path = cwd.path("Vanecfg.ini");
    write_all(path, "[TOOL]\r\n  InIdIr =  /srv/cgi  \r\nempty=\r\n");
    EXPECT_EQ(read_profile_string(path, "tool", "inidir", "x"), "/srv/cgi");
    // A key present with an empty value is empty, not the default.
    EXPECT_EQ(read_profile_string(path, "tool", "empty", "x"), "");
    EXPECT_EQ(read_profile_string(path, "tool", "missing", "fallback"), "fallback");
    EXPECT_EQ(read_profile_string(cwd.path("absent.ini"), "tool", "inidir", "d"), "d");
}

TEST(ProfileTest, WriteCreatesTheFileAndKeepsItsOtherLines) {
    TempCwd cwd;
    const std::string path = cwd.path("new.ini");
    ASSERT_TRUE(write_profile_string(path, "tool", "swfile", "1"));
    EXPECT_EQ(read_all(path), "[tool]\r\nswfile=1\r\n");
    ASSERT_TRUE(write_profile_string(path, "conf", "k", "v"));
    EXPECT_EQ(read_all(path), "[tool]\r\nswfile=1\r\n\r\n[conf]\r\nk=v\r\n");
    for (const std::string value : {"", "with = sign", "日本語 Shift_JISでなく"}) {
        ASSERT_TRUE(write_profile_string(path, "tool", "key", value));
        EXPECT_EQ(read_profile_string(path, "TOOL", "KEY", "default"), value);
    }
}

TEST(ProfileTest, RefusesWhatWouldCorruptTheFile) {
    TempCwd cwd;
    const std::string path = cwd.path("Vanecfg.ini");
    write_all(path, "[tool]\r\na=1\r\n");
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

} // namespace
