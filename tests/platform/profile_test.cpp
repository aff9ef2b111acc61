// Profile files, as every build promises them (through the system's profile
// services on Windows, read and replaced whole on POSIX): case and trimming,
// paths without a folder in the working directory (where the Windows
// services alone would look in the Windows folder), one key replaced among
// the others, Shift_JIS bytes, and what a write refuses, with its reason.
#include "platform/profile.h"

#include "support/file_text.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using platform::read_profile_string;
using platform::write_profile_string;

TEST(ProfileTest, ReadsWithoutRegardToCaseAndTrimsValues) {
    TempCwd cwd;
    const std::string path = cwd.path("Vanecfg.ini");
    write_all(path, "; comment\r\n[Other]\r\ninidir=wrong\r\n[TOOL]\r\n"
                    "  InIdIr =  C:\\srv\\cgi  \r\nquoted=\"a b\"\r\nempty=\r\nnoequals\r\n");
    EXPECT_EQ(read_profile_string(path, "tool", "inidir", "x"), "C:\\srv\\cgi");
    EXPECT_EQ(read_profile_string(path, "Tool", "QUOTED", "x"), "a b");
    // A key present with an empty value is empty, not the default.
    EXPECT_EQ(read_profile_string(path, "tool", "empty", "x"), "");
    EXPECT_EQ(read_profile_string(path, "tool", "noequals", "x"), "x");
    // The default comes back as it is, trailing blanks included.
    EXPECT_EQ(read_profile_string(path, "tool", "missing", " fall back "), " fall back ");
    EXPECT_EQ(read_profile_string(path, "none", "inidir", "fb"), "fb");
    EXPECT_EQ(read_profile_string(cwd.path("absent.ini"), "tool", "inidir", "d"), "d");
}

TEST(ProfileTest, PathWithoutFolderIsInTheWorkingDirectory) {
    TempCwd cwd;
    ASSERT_TRUE(write_profile_string("relative.ini", "tool", "swfile", "1"));
    EXPECT_EQ(read_all(cwd.path("relative.ini")), "[tool]\r\nswfile=1\r\n");
    EXPECT_EQ(read_profile_string("relative.ini", "tool", "swfile", "0"), "1");
}

TEST(ProfileTest, WriteReplacesOneKeyAndKeepsTheOthers) {
    TempCwd cwd;
    const std::string path = cwd.path("Vanecfg.ini");
    write_all(path, "[TOOL]\r\nSwFile=0\r\nother=keep me\r\n[ini]\r\nk=v\r\n");
    ASSERT_TRUE(write_profile_string(path, "tool", "swfile", "1"));
    ASSERT_TRUE(write_profile_string(path, "ini", "new", "x"));
    EXPECT_EQ(read_all(path), "[TOOL]\r\nSwFile=1\r\nother=keep me\r\n[ini]\r\nk=v\r\nnew=x\r\n");
}

TEST(ProfileTest, RefusesWhatWouldCorruptTheFile) {
    TempCwd cwd;
    const std::string path = cwd.path("Vanecfg.ini");
    write_all(path, "[tool]\r\na=1\r\n");
    EXPECT_FALSE(write_profile_string(path, "tool", "a", "x\r\n[evil]"));
    EXPECT_FALSE(write_profile_string(path, "tool", "a", "x\ny=2"));
    EXPECT_FALSE(write_profile_string(path, "tool", "a\rb", "x"));
    EXPECT_FALSE(write_profile_string(path, "to\nol", "a", "x"));
    EXPECT_FALSE(write_profile_string(path, "tool", "a=b", "x"));
    EXPECT_FALSE(write_profile_string(path, "to]ol", "a", "x"));
    EXPECT_FALSE(write_profile_string(path, "", "a", "x"));
    EXPECT_EQ(read_all(path), "[tool]\r\na=1\r\n");
    // A folder where the file should be is never replaced; the failure
    // names the file and gives the system's reason.
    std::filesystem::create_directory(cwd.path("folder.ini"));
    const auto written = write_profile_string(cwd.path("folder.ini"), "tool", "a", "x");
    ASSERT_FALSE(written);
    EXPECT_EQ(written.failure().operation, "cannot write");
    EXPECT_EQ(written.failure().path, cwd.path("folder.ini"));
    EXPECT_FALSE(written.failure().reason.empty());
    EXPECT_TRUE(std::filesystem::is_directory(cwd.path("folder.ini")));
}

TEST(ProfileTest, ShiftJisValuesRoundTrip) {
    TempCwd cwd;
    const std::string path = cwd.path("Vanecfg.ini");
    // "日本語 表" and "C:\表\" in Shift_JIS: 0x5C trail bytes stay.
    for (const std::string& value : {std::string(""), std::string("with = sign"),
                                     std::string("\x93\xfa\x96\x7b\x8c\xea \x95\\"),
                                     std::string("C:\\\x95\\\\"), std::string("a;b")}) {
        ASSERT_TRUE(write_profile_string(path, "\x90\xdd\x92\xe8", "key", value));
        EXPECT_EQ(read_profile_string(path, "\x90\xdd\x92\xe8", "KEY", "default"), value);
    }
}

} // namespace
