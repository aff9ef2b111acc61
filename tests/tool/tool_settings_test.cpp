// Vanecfg's tool settings: defaults for missing keys, the user-agent list
// rules, the path accessors and the main window's "swfile" switch.
#include "tool/tool_settings.h"

#include "support/fake_tool_ui.h"
#include "support/file_text.h"
#include "support/temp_cwd.h"

#include "platform/fs.h"
#include "platform/process_run.h"
#include "support/host.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const std::vector<std::string> default_agents = {
    "Mozilla/5.0", "Mozilla/4.0", "Mozilla/3.0", "Mozilla/2.0", "Mozilla/1.0",
    "DoCoMo/5.0",  "DoCoMo/4.0",  "DoCoMo/3.0",  "DoCoMo/2.0",  "DoCoMo/1.0"};

TEST(ToolSettingsTest, MissingFileGivesTheDefaultsOfTheToolFolder) {
    TempCwd cwd;
    ToolSettings settings;
    settings.editor = "/usr/bin/kept";
    load_tool_settings(settings, cwd.path("Vanecfg.ini"), cwd.dir());
#ifdef DIRVANE_CGI_FOLDER
    // Where Dirvane and the template are installed: the tool folder is the
    // user's settings folder here.
    EXPECT_EQ(settings.iniDir, DIRVANE_CGI_FOLDER);
    EXPECT_EQ(settings.confTemplate, DIRVANE_TEMPLATE_FILE);
#else
    EXPECT_EQ(settings.iniDir, cwd.dir());
    EXPECT_EQ(settings.confTemplate, cwd.path("config.index.txt"));
#endif
    EXPECT_EQ(settings.confName, "config.index");
    EXPECT_EQ(settings.userAgents, default_agents);
    EXPECT_EQ(settings.userAgent, "Mozilla/5.0");
    EXPECT_EQ(settings.editor, "/usr/bin/kept"); // never stored, kept for the run
    EXPECT_FALSE(std::filesystem::exists(cwd.path("Vanecfg.ini")));
}

TEST(ToolSettingsTest, StoredValuesAndTheirEdges) {
    TempCwd cwd;
    const std::string path = cwd.path("Vanecfg.ini");
    // The accessors give absolute paths: the system's own form of one.
    const std::string root = host_is_windows ? "C:\\" : "/";
    const std::string srv = root + "srv" + platform::path_separator() + "cgi-bin";
    write_all(path, "[tool]\r\ninidir=" + srv + platform::path_separator() +
                        "\r\nconfname=\r\ntemplate=\r\nua0=\r\nua3=Custom/1.0\r\n");
    ToolSettings settings;
    load_tool_settings(settings, path, cwd.dir());
    // One trailing separator goes, and the ini path gets exactly one back.
    EXPECT_EQ(settings.iniDir, srv);
    const std::string joined = srv + platform::path_separator();
    EXPECT_EQ(get_ini_path(settings), joined + "Dirvane.ini");
    EXPECT_EQ(get_cgi_path(settings),
              joined + "Dirvane" + std::string(platform::executable_suffix()));
    // Present but empty keys stay empty; an empty user agent gets its default.
    EXPECT_EQ(settings.confName, "");
    EXPECT_EQ(get_conf_name(settings), "config.index");
    EXPECT_EQ(settings.confTemplate, "");
    EXPECT_EQ(settings.userAgents[0], "Mozilla/5.0");
    EXPECT_EQ(settings.userAgents[3], "Custom/1.0");

    settings.iniDir = root;
    EXPECT_EQ(get_ini_path(settings), root + "Dirvane.ini");

    // Neither an empty nor a relative folder is left to the working folder
    // of a program started later: empty is the root, relative the tool's.
    if (!host_is_windows) {
        settings.iniDir = "";
        EXPECT_EQ(get_cgi_path(settings), "/Dirvane");
        settings.iniDir = "cgi/.";
        EXPECT_EQ(get_cgi_path(settings), cwd.path("cgi/Dirvane"));
        settings.editor = "editor";
        write_all(cwd.path("editor"), "");
        EXPECT_EQ(get_editor_path(settings), cwd.path("editor"));
    }

    write_all(path, "[tool]\r\ninidir=/srv/cgi\\\r\n");
    load_tool_settings(settings, path, cwd.dir());
    EXPECT_EQ(settings.iniDir, "/srv/cgi");
    write_all(path, "[tool]\r\ninidir=/\r\n");
    load_tool_settings(settings, path, cwd.dir());
    EXPECT_EQ(settings.iniDir, "/");
}

TEST(ToolSettingsTest, NewUserAgentBecomesFirstAndTheOldestGoes) {
    TempCwd cwd;
    const std::string path = cwd.path("Vanecfg.ini");
    ToolSettings settings;
    load_tool_settings(settings, path, cwd.dir());
    settings.userAgent = "Test & <Agent>";
    ASSERT_TRUE(save_tool_settings(settings, path));

    ToolSettings again;
    load_tool_settings(again, path, cwd.dir());
    EXPECT_EQ(again.userAgents.front(), "Test & <Agent>");
    EXPECT_EQ(again.userAgents[1], "Mozilla/5.0");
    EXPECT_EQ(again.userAgents.size(), 10u);
    EXPECT_EQ(again.userAgents.back(), "DoCoMo/2.0");
    EXPECT_EQ(again.userAgent, "Test & <Agent>");
    EXPECT_EQ(again.iniDir, settings.iniDir);

    // The first item again, or an empty text, changes nothing; an equal
    // item further down stays where it is when another one goes first.
    std::vector<std::string> list = again.userAgents;
    insert_user_agent(list, "Test & <Agent>");
    insert_user_agent(list, "");
    EXPECT_EQ(list, again.userAgents);
    insert_user_agent(list, "Mozilla/5.0");
    EXPECT_EQ(list[0], "Mozilla/5.0");
    EXPECT_EQ(list[2], "Mozilla/5.0");
    EXPECT_EQ(list.size(), 10u);
}

TEST(ToolSettingsTest, TemplateAndEditorCountOnlyWhenTheFileExists) {
    TempCwd cwd;
    ToolSettings settings;
    settings.confTemplate = cwd.path("config.index.txt");
    settings.editor = cwd.path("editor");
    EXPECT_EQ(get_template_path(settings), "");
    EXPECT_EQ(get_editor_path(settings), "");
    FakeToolUi ui;
    // Without an editor the file opens with its default program; without
    // a file and an editor nothing starts.
    open_for_editing(ui, settings, cwd.path("Dirvane.ini"));
    open_for_editing(ui, settings, "");
    EXPECT_EQ(ui.opened, std::vector<std::string>{cwd.path("Dirvane.ini")});
    EXPECT_TRUE(ui.started.empty());

    write_all(settings.confTemplate, "# template\n");
    write_all(settings.editor, "");
    std::filesystem::create_directory(cwd.path("folder"));
    EXPECT_EQ(get_template_path(settings), settings.confTemplate);
    EXPECT_EQ(get_editor_path(settings), settings.editor);
    open_for_editing(ui, settings, "/path with blanks/a&b.index");
    open_for_editing(ui, settings, "");
    ASSERT_EQ(ui.started.size(), 2u);
    EXPECT_EQ(ui.started[0], settings.editor);
    EXPECT_EQ(ui.startedArguments[0], std::vector<std::string>{"/path with blanks/a&b.index"});
    EXPECT_TRUE(ui.startedArguments[1].empty());
    settings.editor = cwd.path("folder");
    EXPECT_EQ(get_editor_path(settings), ""); // a folder is no editor
}

TEST(ToolSettingsTest, ShowFilesSwitchAndTheDefaultFile) {
    TempCwd cwd;
    const std::string path = cwd.path("Vanecfg.ini");
    EXPECT_FALSE(read_show_files(path));
    ASSERT_TRUE(create_default_tool_settings(path));
    EXPECT_EQ(read_all(path), default_tool_settings_text);
    EXPECT_FALSE(read_show_files(path));
    ASSERT_TRUE(write_show_files(path, true));
    EXPECT_TRUE(read_show_files(path));
    // An existing file is never replaced by the default one.
    ASSERT_TRUE(create_default_tool_settings(path));
    EXPECT_TRUE(read_show_files(path));
    ASSERT_TRUE(write_show_files(path, false));
    // Wine's profile functions write the whole file again without its
    // empty lines; every other line stays.
    EXPECT_EQ(read_all(path), host_is_windows
                                  ? "# Vanecfg.ini\r\n[tool]\r\nswfile=0\r\n[ini]\r\n[conf]\r\n"
                                  : "# Vanecfg.ini\r\n\r\n[tool]\r\nswfile=0\r\n\r\n[ini]\r\n\r\n"
                                    "[conf]\r\n\r\n");
    for (const auto& [text, on] : std::vector<std::pair<std::string, bool>>{
             {"1", true}, {"-1", true}, {"+7", true}, {"0", false}, {"yes", false}, {"", false}}) {
        write_all(path, "[tool]\nswfile=" + text + "\n");
        EXPECT_EQ(read_show_files(path), on) << text;
    }
    // Where the file cannot be made, nothing is written and nothing breaks;
    // saving there shows the file and the reason, once per save.
    const std::string nowhere = cwd.path("no/such/folder/Vanecfg.ini");
    EXPECT_FALSE(create_default_tool_settings(nowhere));
    FakeToolUi ui;
    ToolSettings settings;
    load_tool_settings(settings, nowhere, cwd.dir());
    EXPECT_FALSE(save_tool_settings(ui, settings, nowhere));
    EXPECT_FALSE(save_show_files(ui, nowhere, true));
    ASSERT_EQ(ui.errors.size(), 2u);
    for (const std::string& error : ui.errors)
        EXPECT_TRUE(missing_folder_failure(error, save_error_message, nowhere)) << error;
}

// A settings file that may not be written is reported with its reason and
// left alone, a link is written through to its target, and a file too
// large to read says so.
TEST(ToolSettingsTest, ReadOnlyLinkedAndOversizedFiles) {
    if (host_is_windows)
        GTEST_SKIP() << "the system's profile services decide there";
    namespace fs = std::filesystem;
    TempCwd cwd;
    FakeToolUi ui;
    const std::string path = cwd.path("Vanecfg.ini");
    write_all(path, "[tool]\r\nswfile=0\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(save_show_files(ui, path, true));
    EXPECT_TRUE(save_show_files(ui, path, false)); // nothing to change
    EXPECT_EQ(read_all(path), "[tool]\r\nswfile=0\r\n");

    const std::string target = cwd.path("kept/Vanecfg.ini");
    fs::create_directory(cwd.path("kept"));
    write_all(target, "[tool]\r\nswfile=0\r\n");
    fs::create_symlink("kept/Vanecfg.ini", cwd.path("link.ini"));
    EXPECT_TRUE(save_show_files(ui, cwd.path("link.ini"), true));
    EXPECT_TRUE(fs::is_symlink(cwd.path("link.ini")));
    EXPECT_EQ(read_all(target), "[tool]\r\nswfile=1\r\n");

    const std::string large = cwd.path("large.ini");
    write_all(large, "[tool]\r\n" + std::string(std::size_t{1} << 20, ';'));
    EXPECT_FALSE(save_show_files(ui, large, true));
    EXPECT_EQ(ui.errors, (std::vector<std::string>{
                             failure_message(save_error_message, path, std::strerror(EACCES)),
                             failure_message(save_error_message, large, std::strerror(EFBIG))}));
}

} // namespace
