// The numbered folder: the first free number, kept while its folder lasts.
#include "runtime/numbered_folder.h"

#include "log_path_input.h"
#include "support/file_text.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(LogPath, NumberedDirectory) {
    TempCwd cwd;
    vvLogPathState state;
    vvLogPathInput input = fixed_input("%*\\x.log");
    EXPECT_EQ(vv_expand_log_path(input, state), cwd.path("0000/x.log"));
    EXPECT_EQ(state.numberedDirectory, cwd.path("0000"));
    // The cache keeps the directory for later opens of the same log.
    EXPECT_EQ(vv_expand_log_path(input, state), cwd.path("0000/x.log"));
    EXPECT_FALSE(fs::exists(cwd.path("0001")));

    // A new log skips what exists, a plain file included.
    write_all(cwd.path("0001"), "");
    std::string cache;
    EXPECT_EQ(vv_numbered_directory(cache), cwd.path("0002"));
    EXPECT_TRUE(fs::is_directory(cwd.path("0002")));

    // A cached directory that has gone writes nothing.
    fs::remove(cwd.path("0002"));
    EXPECT_EQ(vv_numbered_directory(cache), "");
    EXPECT_EQ(cache, cwd.path("0002"));
}

} // namespace
