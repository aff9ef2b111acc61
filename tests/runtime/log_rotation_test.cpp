// Rotation of log files: the first free backup number, the next one
// deleted, and the ring of 10000 coming round.
#include "runtime/log_rotation.h"

#include "log_path_input.h"
#include "support/file_text.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(LogRotation, FirstFreeNumberAndTheNextDeleted) {
    TempCwd cwd;
    for (const char* name : {"x.log", "x.log.0000", "x.log.0001", "x.log.0003", "x.log.0004"}) {
        write_all(cwd.path(name), name);
    }
    EXPECT_EQ(vv_rotate_log_file(cwd.path("x.log")), cwd.path("x.log.0002"));
    EXPECT_FALSE(fs::exists(cwd.path("x.log")));
    EXPECT_FALSE(fs::exists(cwd.path("x.log.0003")));
    EXPECT_TRUE(fs::exists(cwd.path("x.log.0004")));
    std::ifstream moved(cwd.path("x.log.0002"));
    std::string text;
    moved >> text;
    EXPECT_EQ(text, "x.log");
    // Nothing to move: no backup.
    EXPECT_EQ(vv_rotate_log_file(cwd.path("x.log")), "");
}

TEST(LogRotation, RingComesRound) {
    TempCwd cwd;
    // Every number but 9999 taken: the newest is 9999, and 0000 is deleted.
    for (int n = 0; n < 9999; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "r.%04d", n);
        std::ofstream{cwd.path(name)};
    }
    write_all(cwd.path("r"), "a");
    EXPECT_EQ(vv_rotate_log_file(cwd.path("r")), cwd.path("r.9999"));
    EXPECT_FALSE(fs::exists(cwd.path("r.0000")));
    EXPECT_TRUE(fs::exists(cwd.path("r.0001")));
    // All 10000 taken: 0000 and 0001 go and the file becomes 0000.
    std::ofstream{cwd.path("r.0000")};
    write_all(cwd.path("r"), "b");
    EXPECT_EQ(vv_rotate_log_file(cwd.path("r")), cwd.path("r.0000"));
    EXPECT_FALSE(fs::exists(cwd.path("r.0001")));
    EXPECT_EQ(fs::file_size(cwd.path("r.0000")), 1u);
}

} // namespace
