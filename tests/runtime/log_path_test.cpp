// Log paths: anchored and absolute templates, the failures of an expansion
// and its text steps with look-ups of a made-up system, in temporary folders.
#include "runtime/log_path.h"

#include "log_path_input.h"
#include "platform/fs.h"
#include "support/file_text.h"
#include "support/scoped_env.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST(LogPath, AnchoredAndAbsoluteTemplates) {
    TempCwd cwd;
    const std::string root = cwd.dir();
    std::string backslashed = root;
    for (char& c : backslashed) {
        if (c == '/') {
            c = '\\';
        }
    }
    EXPECT_EQ(expand(backslashed + "\\log\\%X\\dv%p_%N.log"),
              native_path(root + "/log/20041105/dv1234_0007.log"));
    EXPECT_TRUE(fs::is_directory(native_path(root + "/log/20041105")));
    EXPECT_EQ(expand(root + "/sub/./x/../y.log"), native_path(root + "/sub/y.log"));
    EXPECT_EQ(expand("rel\\..\\z.log"), native_path(root + "/z.log"));
}

TEST(LogPath, Failures) {
    TempCwd cwd;
    write_all(cwd.path("file"), "x");
    EXPECT_EQ(expand(""), "");
    EXPECT_EQ(expand("file\\x.log"), ""); // the directory cannot be created
    // A folder that expands to nothing leaves nothing to make absolute.
    // Without a home folder POSIX has no application data folder; Windows
    // always has one.
    ScopedEnv none("HOME", std::nullopt);
    ScopedEnv noConfig("XDG_CONFIG_HOME", std::nullopt);
    if (platform::path_separator() == '/') {
        EXPECT_EQ(expand("%@"), "");
        // A drive means nothing on POSIX: no file, and no folder "D:" in the
        // listed folder, whether the template or vv.path's line 1 names it.
        const std::string marker = cwd.path("vv.path");
        const struct {
            const char* markerText; // nullptr: no vv.path
            const char* pathTemplate;
        } drives[] = {
            {nullptr, "D:\\logs\\acc.log"},
            {nullptr, "D:/x"},
            {nullptr, "d:acc.log"},
            {"D:\\logs\n", "acc.log"},
        };
        for (const auto& c : drives) {
            if (c.markerText != nullptr) {
                write_all(marker, c.markerText);
            }
            EXPECT_EQ(expand(c.pathTemplate, c.markerText ? marker : ""), "") << c.pathTemplate;
            fs::remove(marker);
        }
        EXPECT_FALSE(fs::exists(cwd.path("D:")));
        EXPECT_FALSE(fs::exists(cwd.path("d:acc.log")));
    }
}

// The text steps alone, with look-ups of a made-up system: a special
// folder's path is written as it is, its "%" not read as placeholders, and
// vv.path's lines come from the text given.
TEST(LogPathText, FolderPathsAreWrittenAsTheyAre) {
    vvLogPathServices services;
    services.specialFolder = [](std::string_view name) {
        return name == "APPDATA" ? std::string("/home/100%Y") : std::string();
    };
    services.numberedDirectory = [](std::string& cache) { return cache = "/n/0000"; };
    vvLogPathState state;
    const std::string marker = "%%APPDATA%%\\x\r\nINFO\n";
    EXPECT_EQ(vv_expand_log_text(fixed_input("a\\%Y.log"), &marker, services, state),
              "/home/100%Y\\x\\2026.log");
    EXPECT_EQ(state.threshold, 6);
    EXPECT_EQ(vv_expand_log_text(fixed_input("%@%Y.log"), nullptr, services, state),
              "/home/100%Y2026.log");
    EXPECT_EQ(vv_expand_log_text(fixed_input("%*\\%N"), nullptr, services, state), "/n/0000\\0007");
    // Without a usable first line the template stays; an empty one fails.
    const std::string levelOnly = "\nDEBUG\n";
    EXPECT_EQ(vv_expand_log_text(fixed_input("l%%.log"), &levelOnly, services, state), "l%.log");
    EXPECT_EQ(state.threshold, 7);
    EXPECT_EQ(vv_expand_log_text(fixed_input(""), nullptr, services, state), "");
}

} // namespace
