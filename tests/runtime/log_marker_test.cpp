// The marker file vv.path: its first line redirects the directory, its
// second and third set the threshold and the size limit.
#include "runtime/log_marker.h"

#include "log_path_input.h"
#include "platform/fs.h"
#include "support/file_text.h"
#include "support/scoped_env.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(LogPath, PathMarkerRedirectsTheDirectory) {
    TempCwd cwd;
    const std::string marker = cwd.path("vv.path");
    // The application data folder: one of the test's own where POSIX reads
    // it from the environment, the user's own on Windows.
    const std::string config =
        platform::path_separator() == '/' ? cwd.path("config") : vv_special_folder_path("APPDATA");
    fs::create_directories(config);
    ScopedEnv configHome("XDG_CONFIG_HOME", config);
    const std::string redirect = cwd.path("redir");
    const struct {
        std::string markerText;
        const char* pathTemplate;
        std::string expected;
    } cases[] = {
        {redirect + "\n", "\\log\\%X\\dv%p_%N.log", redirect + "/dv1234_0007.log"},
        {redirect + "/\r\n", "\\log\\%X\\dv%p_%N.log", redirect + "/dv1234_0007.log"},
        {"%%APPDATA%%\\x\n", "\\log\\%X\\dv%p_%N.log", config + "/x/dv1234_0007.log"},
        {"%%26%%\\y", "a.log", config + "/y/a.log"},
        {"%%NOSUCH%%z", "a.log", cwd.path("z/a.log")}, // an unknown folder writes nothing
        {"%%%%x\n", "a.log", cwd.path("%%x/a.log")},   // the second %% must start at 3 or later
        {"rel\n", "a.log", cwd.path("rel/a.log")},
        // An anchored template without a backslash keeps its directory.
        {redirect, "%@dv.log", config + "dv.log"},
        {"\nINFO\n", "keep\\b.log", cwd.path("keep/b.log")},
    };
    for (const auto& c : cases) {
        write_all(marker, c.markerText);
        EXPECT_EQ(expand(c.pathTemplate, marker), native_path(c.expected)) << c.markerText;
    }
    // Line 1 is joined to the file name while both fit into 257 characters.
    const std::string fileName(58, 'f');
    std::string directory = cwd.dir() + "/";
    directory.resize(199, 'd');
    write_all(marker, directory + "\n");
    EXPECT_EQ(expand(fileName, marker), native_path(directory + "/" + fileName));
    directory += 'd';
    write_all(marker, directory + "\n");
    EXPECT_EQ(expand(fileName, marker), cwd.path(fileName));
}

TEST(LogPath, PathMarkerThresholdAndSizeLimit) {
    TempCwd cwd;
    const std::string marker = cwd.path("vv.path");
    const struct {
        const char* markerText;
        unsigned sizeLimit; // before
        int threshold;      // expected after, from 7
        unsigned limit;     // expected after
    } cases[] = {
        {"\nINFO\n", 4000, 6, 4000},
        {"\nnotice\n", 4000, 5, 4000},
        {"\nlvWARNING\n", 4000, 4, 4000},
        {"\n3\n", 4000, 3, 4000},
        {"\n9\n", 4000, 7, 4000},
        {"\nbogus\n", 4000, 7, 4000},
        {"\nlvEMERG\n", 4000, 7, 4000},
        {"\n010\n", 4000, 7, 4000}, // octal 8
        {"\nEMERG\r\n", 4000, 0, 4000},
        {"\n\n100\n", 4000, 7, 100},
        {"\n\n5\n", 4000, 7, 10},
        {"\n\n0\n", 4000, 7, 10},
        {"\n\n0x20kb\n", 4000, 7, 32},
        {"\n\nx20\n", 4000, 7, 4000},
        {"\n\n100\n", 0, 7, 0}, // no limit stays no limit
        {"", 4000, 7, 4000},
    };
    for (const auto& c : cases) {
        write_all(marker, c.markerText);
        vvLogPathState state;
        state.threshold = 7;
        state.sizeLimit = c.sizeLimit;
        EXPECT_EQ(vv_expand_log_path(fixed_input("a.log", marker), state), cwd.path("a.log"));
        EXPECT_EQ(state.threshold, c.threshold) << c.markerText;
        EXPECT_EQ(state.sizeLimit, c.limit) << c.markerText;
    }
    // A marker file larger than the part of it that is read: its lines still
    // count, the rest is not read.
    write_all(marker, "\n3\n100\n" + std::string(70000, 'x'));
    vvLogPathState large;
    large.threshold = 7;
    large.sizeLimit = 4000;
    EXPECT_EQ(vv_expand_log_path(fixed_input("a.log", marker), large), cwd.path("a.log"));
    EXPECT_EQ(large.threshold, 3);
    EXPECT_EQ(large.sizeLimit, 100u);
    // Without the marker file nothing changes.
    fs::remove(marker);
    vvLogPathState state;
    state.threshold = 7;
    state.sizeLimit = 4000;
    EXPECT_EQ(vv_expand_log_path(fixed_input("a.log", marker), state), cwd.path("a.log"));
    EXPECT_EQ(state.threshold, 7);
}

} // namespace
