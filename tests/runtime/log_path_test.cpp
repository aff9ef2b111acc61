// Log paths: placeholders with a fixed open time, stamp and process id, the
// position limits, special folders, numbered directories, vv.path overrides
// and numbered backups, in temporary folders.
#include "runtime/log.h"
#include "runtime/log_path.h"

#include "platform/file.h"

#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace fs = std::filesystem;

namespace {

// ScopedEnv sets (or with nullopt removes) an environment variable for one test.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_old) {
            setenv(m_name.c_str(), m_old->c_str(), 1);
        } else {
            unsetenv(m_name.c_str());
        }
    }

  private:
    std::string m_name;
    std::optional<std::string> m_old;
};

void write_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Open time 2026/03/04 05:06:07, stamp of 2004/11/05 09:07:12.345, pid 1234.
vvLogPathInput fixed_input(std::string_view pathTemplate, std::string_view marker = "") {
    vvLogPathInput input;
    input.pathTemplate = pathTemplate;
    input.openTime = vvLogTime{2026, 3, 4, 5, 6, 7, 890};
    input.stamp = "20041105090712345";
    input.openCounter = 7;
    input.processId = 1234;
    input.markerPath = marker;
    // The expansion as the administrator may have it: locations from the
    // folder lead anywhere (the tests of the folder limits run the program).
    input.folderLogs = true;
    return input;
}

std::string expand(std::string_view pathTemplate, std::string_view marker = "") {
    vvLogPathState state;
    state.threshold = 7;
    state.sizeLimit = 4000;
    return vv_expand_log_path(fixed_input(pathTemplate, marker), state);
}

TEST(LogPath, Placeholders) {
    TempCwd cwd;
    struct Case {
        const char* pathTemplate;
        const char* expected; // relative to the working directory
    };
    const Case cases[] = {
        {"%Y", "2026"},
        {"%y", "26"},
        {"%m", "03"},
        {"%d", "04"},
        {"%H", "05"},
        {"%M", "06"},
        {"%S", "07"},
        {"%D", "20260304"},
        {"%T", "050607"},
        {"%O.log", "20260304/050607.log"},
        {"%o", "260304_050607"},
        {"%X", "20041105"},
        {"%x", "041105"},
        {"%t", "090712"},
        {"%E.log", "20041105/090712.log"},
        {"%e", "041105_090712"},
        {"%P", "000004d2"},
        {"%p", "1234"},
        {"%N", "0007"},
        {"a%?b", "a/b"},
        {"100%%", "100%"},
        {"%q", "q"},
        {"end%", "end%"},
        {"dv%p_%N.log", "dv1234_0007.log"},
        // The folder placeholders away from position 0: a dot after a separator.
        {"a\\%#b", "a/.b"},
        {"a%#b", "ab"},
        {"a\\%@b", "a/.b"},
        {"a%@b", "ab"},
        {"a\\%$b", "a/.b"},
        {"a\\%&b", "a/.b"},
        {"a\\%*b", "a/.b"},
        {"a%*b", "ab"},
        {"a%?%#b", "a/.b"},
        {"a\\%#%#b", "a/.b"}, // the dot itself is no separator
        // A double-byte character whose trail byte is a backslash is no separator.
        {"\x83\\%#b", "\x83\\b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(expand(c.pathTemplate), cwd.path(c.expected)) << c.pathTemplate;
    }
    EXPECT_TRUE(fs::is_directory(cwd.path("20260304")));
    EXPECT_TRUE(fs::is_directory(cwd.path("a")));
}

TEST(LogStamp, SeventeenDigitsOfTheTime) {
    struct Row {
        vvLogTime time;
        const char* stamp;
    };
    const Row table[] = {
        {{2026, 12, 8, 14, 5, 9, 7}, "20261208140509007"},
        {{1999, 1, 31, 23, 59, 59, 999}, "19990131235959999"},
        {{12345, 6, 7, 8, 9, 10, 11}, "23450607080910011"}, // the year modulo 10000
        {{0, 0, 0, 0, 0, 0, 0}, "00000000000000000"},       // a clock that could not be read
        {{-5, 1, 1, 0, 0, 0, 0}, "-0050101000000000"},      // as printf writes a negative year
    };
    for (const Row& row : table)
        EXPECT_EQ(vv_log_stamp(row.time), row.stamp);
}

TEST(LogPath, ProcessIdWidths) {
    TempCwd cwd;
    const struct {
        std::uint32_t pid;
        const char* expected;
    } cases[] = {{42, "0042 0000002a"}, {123456, "123456 0001e240"}};
    for (const auto& c : cases) {
        vvLogPathInput input = fixed_input("%p %P");
        input.processId = c.pid;
        vvLogPathState state;
        EXPECT_EQ(vv_expand_log_path(input, state), cwd.path(c.expected));
    }
}

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
    write_file(cwd.path("file"), "x");
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
                write_file(marker, c.markerText);
            }
            EXPECT_EQ(expand(c.pathTemplate, c.markerText ? marker : ""), "") << c.pathTemplate;
            fs::remove(marker);
        }
        EXPECT_FALSE(fs::exists(cwd.path("D:")));
        EXPECT_FALSE(fs::exists(cwd.path("d:acc.log")));
    }
}

// prefix_to returns the working directory, a separator and filler up to
// `length` characters: an absolute template whose next placeholder starts at
// output position `length`.
std::string prefix_to(const TempCwd& cwd, std::size_t length) {
    std::string prefix = cwd.dir() + platform::path_separator();
    prefix.resize(length, 'a');
    return prefix;
}

TEST(LogPath, PlaceholderRoomAtTheEnd) {
    TempCwd cwd;
    ASSERT_LT(cwd.dir().size(), 200u);
    const struct {
        const char* placeholder;
        std::size_t highest;
        const char* text;
    } cases[] = {
        {"%Y", 255, "2026"},
        {"%y", 257, "26"},
        {"%m", 257, "03"},
        {"%D", 251, "20260304"},
        {"%T", 253, "050607"},
        {"%O", 244, "20260304/050607"},
        {"%o", 246, "260304_050607"},
        {"%X", 251, "20041105"},
        {"%x", 253, "041105"},
        {"%t", 253, "090712"},
        {"%E", 244, "20041105/090712"},
        {"%e", 246, "041105_090712"},
        {"%P", 251, "000004d2"},
        {"%p", 247, "1234"}, // room for any process id
        {"%N", 255, "0007"},
    };
    for (const auto& c : cases) {
        const std::string fits = prefix_to(cwd, c.highest);
        EXPECT_EQ(expand(fits + c.placeholder), native_path(fits + c.text)) << c.placeholder;
        EXPECT_EQ(expand(prefix_to(cwd, c.highest + 1) + c.placeholder), "") << c.placeholder;
    }
    // A double-byte character needs two places of the 259.
    EXPECT_EQ(expand(prefix_to(cwd, 257) + "\x82\xa0"), prefix_to(cwd, 257) + "\x82\xa0");
    EXPECT_EQ(expand(prefix_to(cwd, 258) + "\x82\xa0"), "");
}

TEST(LogPath, LongTemplateIsCutTo259) {
    TempCwd cwd;
    const std::string longTemplate = prefix_to(cwd, 300);
    EXPECT_EQ(expand(longTemplate), longTemplate.substr(0, 259));
    // The placeholders after the cut are dropped, not failed.
    EXPECT_EQ(expand(prefix_to(cwd, 259) + "%D"), prefix_to(cwd, 259));
    // A relative template that makes the absolute path longer than the
    // system allows fails (260 on Windows); a deep folder is no failure
    // where the system takes longer paths.
    const std::string deep = native_path(cwd.path(std::string(259, 'b')));
    EXPECT_EQ(expand(std::string(259, 'b')),
              deep.size() <= platform::max_path_length() ? deep : "");
    EXPECT_GT(deep.size(), 260u);
}

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
    write_file(cwd.path("0001"), "");
    std::string cache;
    EXPECT_EQ(vv_numbered_directory(cache), cwd.path("0002"));
    EXPECT_TRUE(fs::is_directory(cwd.path("0002")));

    // A cached directory that has gone writes nothing.
    fs::remove(cwd.path("0002"));
    EXPECT_EQ(vv_numbered_directory(cache), "");
    EXPECT_EQ(cache, cwd.path("0002"));
}

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
    write_file(config + "/user-dirs.dirs", "# comment\nXDG_MUSIC_DIR=\"$HOME/Music\"\n"
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
        write_file(marker, c.markerText);
        EXPECT_EQ(expand(c.pathTemplate, marker), native_path(c.expected)) << c.markerText;
    }
    // Line 1 is joined to the file name while both fit into 257 characters.
    const std::string fileName(58, 'f');
    std::string directory = cwd.dir() + "/";
    directory.resize(199, 'd');
    write_file(marker, directory + "\n");
    EXPECT_EQ(expand(fileName, marker), native_path(directory + "/" + fileName));
    directory += 'd';
    write_file(marker, directory + "\n");
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
        write_file(marker, c.markerText);
        vvLogPathState state;
        state.threshold = 7;
        state.sizeLimit = c.sizeLimit;
        EXPECT_EQ(vv_expand_log_path(fixed_input("a.log", marker), state), cwd.path("a.log"));
        EXPECT_EQ(state.threshold, c.threshold) << c.markerText;
        EXPECT_EQ(state.sizeLimit, c.limit) << c.markerText;
    }
    // A marker file larger than the part of it that is read: its lines still
    // count, the rest is not read.
    write_file(marker, "\n3\n100\n" + std::string(70000, 'x'));
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

TEST(LogPath, LevelNames) {
    const struct {
        const char* text;
        int level;
    } cases[] = {
        {"EMERGENCY", 0}, {"emerg", 0},  {"ALERT", 1},     {"lvAlert", 1}, {"CRITICAL", 2},
        {"crit", 2},      {"lvCRIT", 2}, {"Error", 3},     {"ERR", 3},     {"lverr", 3},
        {"WARNING", 4},   {"WARN", 4},   {"lvWARNING", 4}, {"NOTICE", 5},  {"lvNOTICE", 5},
        {"info", 6},      {"lvINFO", 6}, {"DEBUG", 7},     {"lvDEBUG", 7}, {"lvEMERG", -1},
        {"7", 7},         {"07", 7},     {"0x7", -1},      {"", -1},       {" 6", -1},
        {"INFO ", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vv_level_from_text(c.text), c.level) << c.text;
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

TEST(LogRotation, FirstFreeNumberAndTheNextDeleted) {
    TempCwd cwd;
    for (const char* name : {"x.log", "x.log.0000", "x.log.0001", "x.log.0003", "x.log.0004"}) {
        write_file(cwd.path(name), name);
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
    write_file(cwd.path("r"), "a");
    EXPECT_EQ(vv_rotate_log_file(cwd.path("r")), cwd.path("r.9999"));
    EXPECT_FALSE(fs::exists(cwd.path("r.0000")));
    EXPECT_TRUE(fs::exists(cwd.path("r.0001")));
    // All 10000 taken: 0000 and 0001 go and the file becomes 0000.
    std::ofstream{cwd.path("r.0000")};
    write_file(cwd.path("r"), "b");
    EXPECT_EQ(vv_rotate_log_file(cwd.path("r")), cwd.path("r.0000"));
    EXPECT_FALSE(fs::exists(cwd.path("r.0001")));
    EXPECT_EQ(fs::file_size(cwd.path("r.0000")), 1u);
}

} // namespace
