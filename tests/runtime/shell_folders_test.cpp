// Shell folders: the names and numbers, the folders of Windows and the
// POSIX folders behind them, and a folder at the start of a template.
#include "runtime/shell_folders.h"

#include "log_path_input.h"
#include "platform/fs.h"
#include "support/file_text.h"
#include "support/scoped_env.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

// Windows names the folders itself (SHGetFolderPath); a folder placeholder
// at the start of a template writes the folder as it is.
TEST(LogPath, SpecialFoldersOfWindows) {
    if (platform::path_separator() != '\\') {
        GTEST_SKIP() << "Windows only";
    }
    TempCwd cwd;
    const std::string appData = vv_special_folder_path("APPDATA");
    ASSERT_GE(appData.size(), 3u);
    EXPECT_EQ(appData[1], ':') << appData;
    EXPECT_EQ(vv_special_folder_path("26"), appData);
    EXPECT_NE(vv_special_folder_path("LOCAL_APPDATA"), appData);
    EXPECT_NE(vv_special_folder_path("PERSONAL"), "");
    EXPECT_EQ(vv_special_folder_path("NOSUCHFOLDER"), "");
    EXPECT_EQ(expand("%@\\dirvane\\x.log"), appData + "\\dirvane\\x.log");
    EXPECT_EQ(expand("a\\%@b.log"), cwd.path("a/.b.log"));
}

// The POSIX folders behind the numbers, from the environment and
// user-dirs.dirs.
TEST(LogPath, SpecialFolders) {
    if (platform::path_separator() != '/') {
        GTEST_SKIP() << "the XDG folders are POSIX only; see SpecialFoldersOfWindows";
    }
    TempCwd cwd;
    const std::string config = cwd.path("config");
    const std::string data = cwd.path("data");
    fs::create_directories(config);
    ScopedEnv home("HOME", cwd.path("home"));
    ScopedEnv configHome("XDG_CONFIG_HOME", config);
    ScopedEnv dataHome("XDG_DATA_HOME", data);
    ScopedEnv documents("XDG_DOCUMENTS_DIR", cwd.path("docs"));
    ScopedEnv desktop("XDG_DESKTOP_DIR", cwd.path("desk"));
    ScopedEnv music("XDG_MUSIC_DIR", std::nullopt);
    ScopedEnv pictures("XDG_PICTURES_DIR", std::nullopt);
    ScopedEnv videos("XDG_VIDEOS_DIR", "relative/is/ignored");
    write_all(config + "/user-dirs.dirs", "# comment\nXDG_MUSIC_DIR=\"$HOME/Music\"\n"
                                          "XDG_PICTURES_DIR=\"/srv/pictures\"\n");
    const struct {
        const char* name;
        std::string expected;
    } cases[] = {
        {"APPDATA", config},
        {"appData", config},
        {"26", config},
        {"032", config}, // octal 26
        {"0x1a", ""},    // not digits only, and no name
        {"LOCAL_APPDATA", data},
        {"PERSONAL", cwd.path("docs")},
        {"MYDOCUMENTS", cwd.path("docs")},
        {"5", cwd.path("docs")},
        {"DESKTOP", cwd.path("desk")},
        {"DESKTOPDIRECTORY", cwd.path("desk")},
        {"MYMUSIC", cwd.path("home/Music")},
        {"MYPICTURES", "/srv/pictures"},
        {"MYVIDEO", cwd.path("home")},
        {"COMMON_APPDATA", "/var/lib"},
        {"PROGRAM_FILES", "/usr/local"},
        {"WINDOWS", ""},
        {"STARTMENU", ""},
        {"NOSUCHFOLDER", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vv_special_folder_path(c.name), c.expected) << c.name;
    }
    EXPECT_EQ(vv_special_folder_number("PROGRAM_FILES_COMMON"), 43);
    EXPECT_EQ(vv_special_folder_number("lvAPPDATA"), -1);

    // At position 0 the folder is written as it is, elsewhere it is a dot.
    EXPECT_EQ(expand("%@\\x.log"), config + "/x.log");
    EXPECT_EQ(expand("%&\\x.log"), data + "/x.log");
    EXPECT_TRUE(fs::is_directory(data));
    {
        ScopedEnv noConfig("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(vv_special_folder_path("APPDATA"), cwd.path("home/.config"));
    }
    // A folder path of 260 characters fails the expansion.
    ScopedEnv longConfig("XDG_CONFIG_HOME", "/" + std::string(259, 'c'));
    EXPECT_EQ(expand("%@"), "");
}

} // namespace
