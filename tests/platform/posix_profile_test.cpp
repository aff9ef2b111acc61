// Profile files on POSIX systems, read and replaced whole (the text rules
// are profile_text_test.cpp's): a new file and the sections appended to it,
// byte for byte. What every build promises is profile_test.cpp's.
#include "platform/profile.h"

#include "support/file_text.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::read_profile_string;
using platform::write_profile_string;

TEST(PosixProfileTest, WriteCreatesTheFileAndAppendsSections) {
    TempCwd cwd;
    const std::string path = cwd.path("new.ini");
    ASSERT_TRUE(write_profile_string(path, "tool", "swfile", "1"));
    EXPECT_EQ(read_all(path), "[tool]\r\nswfile=1\r\n");
    ASSERT_TRUE(write_profile_string(path, "conf", "k", "v"));
    EXPECT_EQ(read_all(path), "[tool]\r\nswfile=1\r\n\r\n[conf]\r\nk=v\r\n");
    // Values are bytes: UTF-8 as well as Shift_JIS.
    ASSERT_TRUE(write_profile_string(path, "tool", "key", "日本語 Shift_JISでなく"));
    EXPECT_EQ(read_profile_string(path, "TOOL", "KEY", "default"), "日本語 Shift_JISでなく");
}

} // namespace
