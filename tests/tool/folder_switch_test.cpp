// Switching folders on and off: which folders the buttons act on, the
// settings file they create or delete, and the status line.
#include "tool/folder_switch.h"

#include "support/fake_tool_ui.h"
#include "support/file_text.h"
#include "support/temp_cwd.h"

#include "support/host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class FolderSwitchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"www", "www/a", "www/b", "www/c"})
            fs::create_directory(cwd.path(name));
        write_all(cwd.path("www/file.txt"), "x");
        settings.confName = "config.index";
        settings.confTemplate = cwd.path("config.index.txt");
    }

    TempCwd cwd;
    ToolSettings settings;
    FakeToolUi ui;
};

TEST_F(FolderSwitchTest, TargetsAreSelectedFoldersOrTheTreeFolder) {
    const std::string tree = cwd.path("www");
    EXPECT_EQ(target_folders({}, tree), std::vector<std::string>{tree});
    // Files and virtual objects among the selection are skipped.
    EXPECT_EQ(
        target_folders({cwd.path("www/c"), cwd.path("www/file.txt"), "", cwd.path("www/a")}, tree),
        (std::vector<std::string>{cwd.path("www/c"), cwd.path("www/a")}));
    EXPECT_TRUE(target_folders({cwd.path("www/file.txt")}, tree).empty());
}

TEST_F(FolderSwitchTest, IndexOnCreatesMissingFilesAndNeverOverwrites) {
    write_all(cwd.path("www/b/config.index"), "mine\r\n");
    const std::vector<std::string> targets =
        target_folders({cwd.path("www/a"), cwd.path("www/b"), cwd.path("www/c")}, cwd.path("www"));
    index_on(ui, targets, settings);
    EXPECT_TRUE(ui.errors.empty());
    // No template file: "# <name>" and an empty line, each with CR LF.
    EXPECT_EQ(read_all(cwd.path("www/a/config.index")), "# config.index\r\n\r\n");
    EXPECT_EQ(read_all(cwd.path("www/c/config.index")), "# config.index\r\n\r\n");
    EXPECT_EQ(read_all(cwd.path("www/b/config.index")), "mine\r\n");
    // The status line still describes the tree's folder, which has no file.
    EXPECT_EQ(status_line(cwd.path("www"), settings), "[IndexOFF] " + cwd.path("www"));
    EXPECT_EQ(status_line(cwd.path("www/a"), settings), "[IndexON] " + cwd.path("www/a"));
    EXPECT_EQ(status_line("", settings), "");
}

TEST_F(FolderSwitchTest, TemplateLinesGetCrLfWhateverTheyEndedWith) {
    write_all(settings.confTemplate, "[index]\nusetable=1\rtitle=x\r\n\nlast");
    settings.confName = "list.idx";
    index_on(ui, {cwd.path("www/a")}, settings);
    EXPECT_EQ(read_all(cwd.path("www/a/list.idx")),
              "[index]\r\nusetable=1\r\ntitle=x\r\n\r\nlast\r\n");
}

TEST_F(FolderSwitchTest, MissingFolderIsReportedOncePerFolder) {
    index_on(ui, {""}, settings); // the desktop or another virtual object
    index_on(ui, {cwd.path("gone")}, settings);
    EXPECT_EQ(ui.errors, std::vector<std::string>(2, std::string(select_folder_message)));
    EXPECT_FALSE(fs::exists(cwd.path("gone")));
}

TEST_F(FolderSwitchTest, UnreadableTemplateWritesNothing) {
    if (host_is_windows) {
        GTEST_SKIP() << "Windows keeps read rights in access lists, not in permission bits";
    }
    settings.confTemplate = cwd.path("www/file.txt");
    fs::permissions(settings.confTemplate, fs::perms::none);
    if (std::ifstream(settings.confTemplate).good())
        GTEST_SKIP() << "running with rights that read any file";
    index_on(ui, {cwd.path("www/a")}, settings);
    EXPECT_EQ(ui.errors.size(), 1u);
    EXPECT_FALSE(fs::exists(cwd.path("www/a/config.index")));
}

TEST_F(FolderSwitchTest, CreateFailureIsReported) {
    // A name too long for any file system cannot be created, with any
    // rights.
    settings.confName = std::string(300, 'x');
    EXPECT_FALSE(create_conf_file(ui, cwd.path("www/a"), {"x"}, settings));
    ASSERT_EQ(ui.errors.size(), 1u);
    const std::string head = failure_message(
        create_error_message, tool_file_path(cwd.path("www/a"), settings.confName), "");
    EXPECT_EQ(ui.errors[0].rfind(head, 0), 0u) << ui.errors[0];
    EXPECT_GT(ui.errors[0].size(), head.size()) << "no reason";

    // A name with a folder in it (from a hand-edited tool settings file) is
    // refused before anything is touched.
    for (const char* name : {"../config.index", "sub/config.index", ".."}) {
        ui.errors.clear();
        settings.confName = name;
        EXPECT_FALSE(create_conf_file(ui, cwd.path("www/a"), {"x"}, settings));
        EXPECT_FALSE(delete_conf_file(ui, cwd.path("www/a"), settings));
        edit_conf_file(ui, cwd.path("www/a"), settings);
        EXPECT_EQ(ui.errors, std::vector<std::string>(3, std::string(conf_name_message))) << name;
    }
    EXPECT_FALSE(fs::exists(cwd.path("www/config.index")));
    EXPECT_TRUE(ui.opened.empty());
}

TEST_F(FolderSwitchTest, IndexOffAsksFirstAndDeletes) {
    write_all(cwd.path("www/a/config.index"), "x");
    write_all(cwd.path("www/b/config.index"), "x");
    ui.answerOk = false;
    index_off(ui, {cwd.path("www/a"), cwd.path("www/b")}, settings);
    EXPECT_EQ(ui.questions,
              std::vector<std::string>{" 選択されたフォルダの config.index を削除します。　"});
    EXPECT_TRUE(fs::exists(cwd.path("www/a/config.index")));

    ui.answerOk = true;
    index_off(ui, {cwd.path("www/a"), cwd.path("www/b"), cwd.path("www/c")}, settings);
    EXPECT_FALSE(fs::exists(cwd.path("www/a/config.index")));
    EXPECT_FALSE(fs::exists(cwd.path("www/b/config.index")));
    EXPECT_TRUE(ui.errors.empty()); // c had none: not reported
}

TEST_F(FolderSwitchTest, EditOpensTheFolderFileEvenWhenMissing) {
    edit_conf_file(ui, cwd.path("www/a"), settings);
    edit_conf_file(ui, cwd.path("gone"), settings);
    EXPECT_EQ(ui.opened, std::vector<std::string>{cwd.path("www/a/config.index")});
    EXPECT_EQ(ui.errors, std::vector<std::string>{std::string(select_folder_message)});
}

} // namespace
