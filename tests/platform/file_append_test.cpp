// Appending to files: a record per call, and the open confined to the
// working directory that refuses what would lead out of it or write through
// another name.
#include "platform/file.h"

#include "platform/fs.h"

#include "support/file_text.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

TEST(AppendFileInside, MakesMissingFoldersAndAppendsRecords) {
    TempCwd cwd;
    const platform::Outcome<platform::FileHandle> opened =
        platform::open_append_file_inside(native_path("a/b/x.log"));
    ASSERT_TRUE(opened) << opened.failure().message();
    const platform::FileHandle file = opened.value();
    EXPECT_TRUE(platform::append_record(file, "one\n"));
    EXPECT_TRUE(platform::append_record(file, ""));
    EXPECT_TRUE(platform::append_record(file, "two\n"));
    EXPECT_EQ(platform::file_length(file), 8);
    platform::close_file(file);
    EXPECT_EQ(read_all(cwd.path("a/b/x.log")), "one\ntwo\n");
    EXPECT_FALSE(platform::append_record(platform::no_file, "x"));
}

TEST(AppendFileInside, RefusesWhatLeadsOutOrHasAnotherName) {
    TempCwd cwd;
    fs::create_directory(cwd.path("out"));
    write_all(cwd.path("linked.log"), "");
    std::error_code noLinks;
    fs::create_hard_link(cwd.path("linked.log"), cwd.path("second.log"), noLinks);
    const bool posix = platform::path_separator() == '/';
    if (posix) {
        fs::create_directory_symlink(cwd.path("out"), cwd.path("via"));
        fs::create_symlink(cwd.path("out/x.log"), cwd.path("link.log"));
    }
    const struct {
        const char* relative;
        bool posixOnly;
    } refused[] = {
        {"", false},   {"/abs.log", false},   {"../up.log", false}, {"a/../x.log", false},
        {"a/", false}, {"second.log", false}, {"via/x.log", true},  {"link.log", true},
    };
    for (const auto& c : refused) {
        if (c.posixOnly && !posix) {
            continue;
        }
        if (std::string(c.relative) == "second.log" && noLinks) {
            continue; // no hard links on this file system
        }
        const std::string relative = native_path(c.relative);
        const platform::Outcome<platform::FileHandle> file =
            platform::open_append_file_inside(relative);
        EXPECT_FALSE(file) << c.relative;
        platform::close_file(file.value_or(platform::no_file));
    }
    EXPECT_FALSE(fs::exists(cwd.path("out/x.log")));
    EXPECT_EQ(read_all(cwd.path("linked.log")), "");
}

} // namespace
