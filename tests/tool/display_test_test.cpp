// The display test: the folder it picks, its checks in order, how Dirvane
// is started (directly: the user agent reaches it as it is), the output
// files and the counter.
#include "tool/display_test.h"

#include "tool/folder_switch.h"

#include "platform/process_run.h"
#include "support/fake_tool_ui.h"
#include "support/file_text.h"
#include "support/host.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// A stand-in for Dirvane that writes what it was given into its output
// file: its working folder, its arguments and the request variables.
constexpr const char* recording_cgi = "#!/bin/sh\n"
                                      "{ pwd; printf '%s\\n' \"$1\" \"$SERVER_NAME\" "
                                      "\"$HTTP_USER_AGENT\" \"$SCRIPT_NAME\"; } > \"$2\"\n";

class DisplayTestTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        if (host_is_windows && name != "ChoosesTheOneSelectedItemOrTheTreeFolder" &&
            name != "RealDirvaneWritesItsPageWithoutHeader") {
            GTEST_SKIP() << "the stand-ins for Dirvane are shell scripts";
        }
        fs::create_directories(cwd.path("tool"));
        fs::create_directories(cwd.path("cgi"));
        fs::create_directories(cwd.path("www/pub"));
        write_all(cwd.path("www/pub/config.index"), "");
        install_cgi(recording_cgi);
        settings.iniDir = cwd.path("cgi");
        settings.confName = "config.index";
        settings.userAgent = "Mozilla/4.0";
    }

    void install_cgi(const std::string& script) {
        const std::string path = cgi_program();
        write_all(path, script);
        fs::permissions(path, fs::perms::owner_all);
    }

    // cgi_program is where the display test looks for Dirvane.
    std::string cgi_program() const {
        return cwd.path("cgi/Dirvane") + std::string(platform::executable_suffix());
    }

    TempCwd cwd;
    ToolSettings settings;
    FakeToolUi ui;
};

TEST_F(DisplayTestTest, ChoosesTheOneSelectedItemOrTheTreeFolder) {
    std::string folder;
    EXPECT_TRUE(choose_test_folder(ui, {}, "/tree", folder));
    EXPECT_EQ(folder, "/tree");
    EXPECT_TRUE(choose_test_folder(ui, {"/item"}, "/tree", folder));
    EXPECT_EQ(folder, "/item");
    folder.clear();
    EXPECT_FALSE(choose_test_folder(ui, {"/a", "/b"}, "/tree", folder));
    EXPECT_EQ(ui.errors, std::vector<std::string>{std::string(one_folder_message)});
}

TEST_F(DisplayTestTest, StartsTheProgramDirectlyWithTheRequest) {
    DisplayTest test(cwd.path("tool"));
    // Every character a command interpreter would act on.
    settings.userAgent = "A&B|C<D>E^F\"G' $(touch hacked) `touch hacked2`";
    ASSERT_TRUE(test.run(ui, cwd.path("www/pub"), settings)) << ::testing::PrintToString(ui.errors);
    const std::string output = cwd.path("tool/Dirvane_test0.html");
    EXPECT_EQ(ui.opened, std::vector<std::string>{output});
    EXPECT_EQ(read_all(output), cwd.path("www/pub") + "\n" + cwd.path("www/pub/config.index") +
                                    "\nTestServer\n" + settings.userAgent +
                                    "\n/Dirvane/test/config.index\n");
    EXPECT_FALSE(fs::exists(cwd.path("www/pub/hacked")));
    EXPECT_FALSE(fs::exists(cwd.path("www/pub/hacked2")));
    EXPECT_EQ(test.counter(), 1);
}

TEST_F(DisplayTestTest, ElevenTestsUseTheFilesZeroToNineThenZeroAgain) {
    DisplayTest test(cwd.path("tool"));
    for (int i = 0; i < 11; ++i)
        ASSERT_TRUE(test.run(ui, cwd.path("www/pub"), settings));
    ASSERT_EQ(ui.opened.size(), 11u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(ui.opened[i], cwd.path("tool/Dirvane_test" + std::to_string(i) + ".html"));
    EXPECT_EQ(ui.opened[10], cwd.path("tool/Dirvane_test0.html"));
    EXPECT_EQ(test.counter(), 1);
}

TEST_F(DisplayTestTest, EachFailureIsOneMessageAndKeepsTheCounter) {
    DisplayTest test(cwd.path("tool"));
    const std::string folder = cwd.path("www/pub");

    EXPECT_FALSE(test.run(ui, cwd.path("www/none"), settings));
    EXPECT_FALSE(test.run(ui, "", settings));

    ToolSettings noCgi = settings;
    noCgi.iniDir = cwd.path("www");
    // Only the old output of the current number is gone by then.
    write_all(cwd.path("tool/Dirvane_test0.html"), "old");
    write_all(cwd.path("tool/Dirvane_test1.html"), "old");
    EXPECT_FALSE(test.run(ui, folder, noCgi));
    EXPECT_FALSE(fs::exists(cwd.path("tool/Dirvane_test0.html")));
    EXPECT_TRUE(fs::exists(cwd.path("tool/Dirvane_test1.html")));

    ToolSettings otherName = settings;
    otherName.confName = "";
    fs::remove(cwd.path("www/pub/config.index"));
    EXPECT_FALSE(test.run(ui, folder, otherName));
    write_all(cwd.path("www/pub/config.index"), "");

    // An output name that cannot be deleted (a folder of that name).
    fs::create_directory(cwd.path("tool/Dirvane_test0.html"));
    EXPECT_FALSE(test.run(ui, folder, settings));
    fs::remove(cwd.path("tool/Dirvane_test0.html"));

    // Ends without writing a page, printing one instead: none of it
    // reaches the tool's own output.
    install_cgi("#!/bin/sh\nprintf 'page'\n");
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(test.run(ui, folder, settings));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

    // A tool folder where no page can be written: the program is not run.
    DisplayTest nowhere(cwd.path("gone"));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(nowhere.run(ui, folder, settings));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(ui.errors.size(), 7u);
    EXPECT_TRUE(missing_folder_failure(ui.errors.back(), " HTMLファイルを出力できません。　",
                                       cwd.path("gone/Dirvane_test0.html")))
        << ui.errors.back();
    ui.errors.pop_back();

    install_cgi("#!/bin/sh\nexit 0\n");
    fs::permissions(cwd.path("cgi/Dirvane"), fs::perms::owner_read);
    EXPECT_FALSE(test.run(ui, folder, settings));

    install_cgi(recording_cgi);
    ui.openSucceeds = false;
    EXPECT_FALSE(test.run(ui, folder, settings));

    EXPECT_EQ(ui.errors, (std::vector<std::string>{
                             std::string(select_folder_message),
                             std::string(select_folder_message),
                             " CGI実行ファイルが見つかりません。　",
                             " config.index がありません。　",
                             " 以前に作成したHTMLファイルを削除できません。　",
                             " HTMLファイルを出力できません。　",
                             " CGIを実行できません。　",
                             " HTMLファイルを開けません。　",
                         }));
    EXPECT_EQ(test.counter(), 0);
}

TEST_F(DisplayTestTest, PageIsOpenedOnlyAfterTheProgramEnded) {
    // The page appears at once but is finished only later.
    install_cgi("#!/bin/sh\nprintf 'start\\n' > \"$2\"\nsleep 1\nprintf 'end\\n' >> \"$2\"\n");
    DisplayTest test(cwd.path("tool"));
    ASSERT_TRUE(test.run(ui, cwd.path("www/pub"), settings));
    EXPECT_EQ(read_all(ui.opened.at(0)), "start\nend\n");
}

TEST_F(DisplayTestTest, ProgramThatRunsTooLongIsStoppedAndItsPageNotOpened) {
    install_cgi("#!/bin/sh\nprintf 'part' > \"$2\"\nexec sleep 30\n");
    DisplayTest test(cwd.path("tool"), 500);
    EXPECT_FALSE(test.run(ui, cwd.path("www/pub"), settings));
    EXPECT_EQ(ui.errors, std::vector<std::string>{" HTMLファイルを出力できません。　"});
    EXPECT_TRUE(ui.opened.empty());
    EXPECT_FALSE(fs::exists(cwd.path("tool/Dirvane_test0.html")));
}

#ifdef DIRVANE_PROGRAM
TEST_F(DisplayTestTest, RealDirvaneWritesItsPageWithoutHeader) {
    fs::remove(cgi_program()); // MinGW's copy_file cannot overwrite
    fs::copy_file(DIRVANE_PROGRAM, cgi_program());
    write_all(cwd.path("www/pub/readme.txt"), "hello");
    DisplayTest test(cwd.path("tool"));
    ASSERT_TRUE(test.run(ui, cwd.path("www/pub"), settings)) << ::testing::PrintToString(ui.errors);
    const std::string page = read_all(ui.opened.at(0));
    EXPECT_EQ(page.rfind("Content-Type", 0), std::string::npos);
    EXPECT_NE(page.find("readme.txt"), std::string::npos);
    EXPECT_NE(page.find("/Dirvane/test/"), std::string::npos) << page;
}
#endif

} // namespace
