// Vanecfg's windows with the real toolkit: their texts and hints, the tree
// and list coupling, the buttons on real folders, the settings dialog and
// the folder picker shown modally, and screenshots of all three windows.
#include "tool/vanecfg/folder_tree.h"
#include "tool/vanecfg/form_config_main.h"
#include "tool/vanecfg/get_dir_form.h"
#include "tool/vanecfg/qt_text.h"
#include "tool/vanecfg/qt_tool_ui.h"
#include "tool/vanecfg/setting_form.h"
#include "tool/vanecfg/vanecfg_app.h"

#include "support/fake_tool_ui.h"
#include "support/file_text.h"
#include "support/scoped_env.h"
#include "support/temp_cwd.h"

#include "platform/process_run.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTranslator>
#include <QTreeView>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// wait_until processes events until `done` holds or about five seconds
// have passed (the file system model fills in the background).
bool wait_until(const std::function<bool()>& done) {
    for (int i = 0; i < 500; ++i) {
        if (done())
            return true;
        QTest::qWait(10);
    }
    return done();
}

// when_modal runs `action` as soon as `dialog` is the modal window; one
// that never comes up is closed, so that the test fails instead of hanging.
void when_modal(QDialog* dialog, const std::function<void()>& action) {
    // A real timer: a zero one is a posted event, which a nested loop does
    // not deliver while another posted event is being handled.
    QTimer::singleShot(10, [dialog, action] {
        if (!wait_until([&] { return QApplication::activeModalWidget() == dialog; })) {
            ADD_FAILURE() << "the dialog was not shown";
            dialog->reject();
            return;
        }
        action();
    });
}

// steady_rect waits until `index` keeps its place in `view` (the folders
// around it load in the background and move it) and returns that place.
QRect steady_rect(QAbstractItemView* view, const QModelIndex& index) {
    QRect last;
    int steady = 0;
    wait_until([&] {
        const QRect rect = view->visualRect(index);
        steady = rect == last ? steady + 1 : 0;
        last = rect;
        return steady >= 30;
    });
    return last;
}

class VanecfgWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"tool", "www/a", "www/b", "www/c"})
            fs::create_directories(m_root / name);
        write_all(m_root / "www/readme.txt", "hello");
        fs::current_path(m_root / "tool");
    }
    void TearDown() override { m_windows.main.reset(); }

    void start() {
        m_windows = create_windows(ui, (m_root / "registry.reg").string());
        m_windows.main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_windows.main.get()));
    }
    TFormConfigMain& main() { return *m_windows.main; }
    FolderListModel* list_model() {
        return static_cast<FolderListModel*>(main().FileListView->model());
    }
    TSettingForm& settings() { return *m_windows.settings; }

    // show_folder selects `folder` in the tree and waits for the list.
    void show_folder(const fs::path& folder, int entries) {
        main().selectTreeFolder(folder.string());
        ASSERT_TRUE(wait_until([&] {
            return main().FileListView->model()->rowCount(main().FileListView->rootIndex()) ==
                   entries;
        })) << folder;
    }

    // select_in_list selects the list items named `names`.
    void select_in_list(const std::vector<std::string>& names) {
        QListView* list = main().FileListView;
        list->clearSelection();
        for (const std::string& name : names) {
            const QModelIndex index = list_model()->find(name);
            ASSERT_TRUE(index.isValid()) << name;
            list->selectionModel()->select(index, QItemSelectionModel::Select);
        }
    }

    void screenshot(QWidget* window, const char* name) {
        const char* folder = std::getenv("DIRVANE_ARTIFACTS");
        if (folder == nullptr)
            return;
        fs::create_directories(folder);
        EXPECT_TRUE(window->grab().save(
            QString::fromStdString((fs::path(folder) / (std::string(name) + ".png")).string())));
    }

    // Unique per process: the suite runs on two platforms at once.
    TempCwd m_cwd{"vanecfg-" + std::to_string(QCoreApplication::applicationPid()) + "-"};
    const fs::path m_root = m_cwd.dir();
    ScopedEnv m_registryFile{"DIRVANE_REGISTRY", (m_root / "registry.reg").c_str()};
    FakeToolUi ui;
    VanecfgWindows m_windows;
};

TEST_F(VanecfgWindowsTest, MainWindowTextsHintsAndStart) {
    start();
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Dirvane 設定ツール"));
    const std::vector<std::tuple<QPushButton*, const char*, const char*>> buttons = {
        {main().ButtonEditIni, "共通設定編集", "共通設定ファイルを編集します。"},
        {main().ButtonTest, "表示テスト", "仮のURLでリストを作成して表示します。"},
        {main().ButtonSetting, "Tool 設定", "本ツールの設定を行います。"},
        {main().ButtonDvON, "IndexON", "選択したフォルダのインデックスリスト表示を開始します。"},
        {main().ButtonDvOFF, "IndexOFF", "選択したフォルダのインデックスリスト表示を停止します。"},
        {main().ButtonEditConf, "Edit", "選択したフォルダの表示設定ファイルを編集します。"},
    };
    for (const auto& [button, caption, hint] : buttons) {
        EXPECT_EQ(button->text(), QString::fromUtf8(caption));
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(hint));
    }
    EXPECT_EQ(main().CheckFileOn->text(), QStringLiteral("ファイルを表示"));
    EXPECT_EQ(main().CheckFileOn->toolTip(),
              QStringLiteral("チェックが入っていない場合は、フォルダのみを表示。"));
    // A first start writes the default tool settings file, folders only.
    EXPECT_EQ(read_all(m_root / "tool/Vanecfg.ini"),
              "# Vanecfg.ini\r\n\r\n[tool]\r\nswfile=0\r\n\r\n[ini]\r\n\r\n[conf]\r\n\r\n");
    EXPECT_FALSE(main().CheckFileOn->isChecked());
    EXPECT_EQ(main().treeFolder(), (m_root / "tool").string());
    EXPECT_EQ(main().StatusBar1->currentMessage().toStdString(),
              "[IndexOFF] " + (m_root / "tool").string());
    // Centred on the desktop, whether or not a window manager helps.
    const QPoint offset = main().frameGeometry().center() -
                          QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 8) << offset.x() << "," << offset.y();
    // Once the folders around it have loaded, the tool folder is in view.
    const QRect toolRow = steady_rect(main().DirTreeView, main().DirTreeView->currentIndex());
    EXPECT_TRUE(main().DirTreeView->viewport()->rect().contains(toolRow))
        << toolRow.y() << " in " << main().DirTreeView->viewport()->height();
    // The window cannot be made smaller than it started.
    const QSize first = main().size();
    main().resize(100, 80);
    QApplication::processEvents();
    EXPECT_GE(main().width(), first.width());
    EXPECT_GE(main().height(), first.height());
    show_folder(m_root / "www", 3);
    screenshot(&main(), "vanecfg-main");
}

// x_title is the title the X server holds for `window` ("" when it
// cannot be read), as a window manager shows it.
std::string x_title(QWidget* window, const fs::path& scratch) {
    const std::string xprop = platform::find_program("xprop", {});
    const fs::path out = scratch / "xprop.txt";
    if (xprop.empty())
        return "";
    const auto run =
        platform::run_process_in({"/bin/sh", "-c", "\"$0\" -notype -id \"$1\" _NET_WM_NAME >\"$2\"",
                                  xprop, std::to_string(window->winId()), out.string()},
                                 scratch.string(), {"LC_ALL=C.UTF-8"}, 10000);
    if (!run || run.value().timedOut || run.value().exitCode != 0)
        return "";
    return read_all(out);
}

// The window system shows each caption alone, and the real message boxes
// answer with the button pressed.
TEST_F(VanecfgWindowsTest, CaptionsAloneAndMessageBoxAnswers) {
    start();
    const bool x11 = QGuiApplication::platformName() == QStringLiteral("xcb");
    if (x11) {
        EXPECT_EQ(x_title(&main(), m_root), "_NET_WM_NAME = \"Dirvane 設定ツール\"\n");
    }
    QtToolUi real(&main());
    for (const auto button : {QMessageBox::Cancel, QMessageBox::Ok}) {
        std::string title;
        QTimer::singleShot(10, [&] {
            QMessageBox* box = nullptr;
            if (!wait_until([&] {
                    box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    return box != nullptr && box->isVisible();
                })) {
                ADD_FAILURE() << "no message box";
                return;
            }
            if (x11) {
                ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
                title = x_title(box, m_root);
            }
            EXPECT_EQ(box->windowTitle(), QStringLiteral("Dirvane"));
            box->button(button)->click();
        });
        EXPECT_EQ(real.ask_ok_cancel("question"), button == QMessageBox::Ok);
        if (x11) {
            EXPECT_EQ(title, "_NET_WM_NAME = \"Dirvane\"\n");
        }
    }
}

TEST_F(VanecfgWindowsTest, ListFollowsTreeAndShowsFilesOnlyWhenChecked) {
    start();
    show_folder(m_root / "www", 3); // a, b, c; readme.txt hidden
    main().CheckFileOn->click();
    ASSERT_TRUE(wait_until([&] {
        return main().FileListView->model()->rowCount(main().FileListView->rootIndex()) == 4;
    }));
    main().CheckFileOn->click();
    ASSERT_TRUE(wait_until([&] {
        return main().FileListView->model()->rowCount(main().FileListView->rootIndex()) == 3;
    }));
    select_in_list({"c", "a"});
    // List order, whatever order they were selected in.
    EXPECT_EQ(main().selectedListItems(),
              (std::vector<std::string>{(m_root / "www/a").string(), (m_root / "www/c").string()}));
    // Another tree folder: the list follows, its selection is gone.
    show_folder(m_root / "www/a", 0);
    EXPECT_TRUE(main().selectedListItems().empty());
}

// Real clicks: a plain click on an item of a multi-selection leaves only
// that item selected and renames nothing (IndexOFF would otherwise act on
// folders no longer meant).
TEST_F(VanecfgWindowsTest, PlainClickReducesAMultiSelection) {
    start();
    show_folder(m_root / "www", 3);
    QListView* list = main().FileListView;
    const auto at = [&](const char* name) {
        return list->visualRect(list_model()->find(name)).center();
    };
    // Apart by more than a double click's interval, as a user's clicks are.
    const int apart = QApplication::doubleClickInterval() + 50;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at("a"));
    QTest::qWait(apart);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, at("b"));
    QTest::qWait(apart);
    ASSERT_EQ(main().selectedListItems(),
              (std::vector<std::string>{(m_root / "www/a").string(), (m_root / "www/b").string()}));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at("a"));
    QTest::qWait(apart);
    EXPECT_EQ(main().selectedListItems(), std::vector<std::string>{(m_root / "www/a").string()});
    for (const QLineEdit* editor : list->findChildren<QLineEdit*>())
        EXPECT_FALSE(editor->isVisible()) << "a rename editor is open";
}

// A folder opened in the list, by a double click or Enter, becomes the
// tree's folder, and the list shows it.
TEST_F(VanecfgWindowsTest, FolderOpenedInTheListOpensInTheTree) {
    start();
    show_folder(m_root / "www", 3);
    write_all(m_root / "www/b/inner.txt", "");
    QListView* list = main().FileListView;
    FolderListModel* model = list_model();
    const auto index = [&](const char* name) { return model->find(name); };
    // Clicked first, as a double click is on a real mouse.
    const QPoint at = list->visualRect(index("a")).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(main().treeFolder(), (m_root / "www/a").string());
    EXPECT_EQ(model->folder(), (m_root / "www/a").string());

    show_folder(m_root / "www", 3);
    main().CheckFileOn->click(); // a file opens nothing
    ASSERT_TRUE(wait_until([&] { return model->rowCount() == 4; }));
    list->setFocus();
    list->setCurrentIndex(index("readme.txt"));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(main().treeFolder(), (m_root / "www").string());
    list->setCurrentIndex(index("b"));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(main().treeFolder(), (m_root / "www/b").string());
    EXPECT_EQ(model->folder(), (m_root / "www/b").string());
}

// The shipped example's names are Shift_JIS bytes: they are shown (with
// U+FFFD where the bytes form no character) and acted on by their bytes.
TEST_F(VanecfgWindowsTest, ShiftJisNamesAreShownAndActedOnByTheirBytes) {
    const fs::path example = fs::path(__FILE__).parent_path() / "../../example-sjis";
    fs::copy(example, m_root / "www/example-sjis", fs::copy_options::recursive);
    const std::string so = "\x83\x5c"; // "ソ"
    const fs::path folder = m_root / "www/example-sjis" / so;
    start();
    show_folder(m_root / "www/example-sjis", 1);
    const QModelIndex item = list_model()->find(so);
    ASSERT_TRUE(item.isValid());
    EXPECT_EQ(item.data().toString(), QStringLiteral("\uFFFD\\"));
    // Opened by a real double click, it becomes the tree's folder.
    QListView* list = main().FileListView;
    const QPoint at = list->visualRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(main().treeFolder(), folder.string());
    EXPECT_EQ(main().DirTreeView->currentIndex().data().toString(), QStringLiteral("\uFFFD\\"));
    EXPECT_EQ(main().StatusBar1->currentMessage(), path_to_qt("[IndexON] " + folder.string()));
    QTest::mouseClick(main().ButtonDvOFF, Qt::LeftButton);
    EXPECT_FALSE(fs::exists(folder / "config.index"));
    QTest::mouseClick(main().ButtonDvON, Qt::LeftButton);
    EXPECT_TRUE(fs::exists(folder / "config.index"));
    EXPECT_TRUE(ui.errors.empty()) << ui.errors.front();
    QTest::mouseClick(main().CheckFileOn, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return list_model()->rowCount() == 2; }));
    EXPECT_TRUE(list_model()->find("\x83\x81\x83\x82.txt").isValid());
    screenshot(&main(), "vanecfg-sjis-folder-picked");

    // The example folder in the tree, with its files in the list.
    show_folder(m_root / "www/example-sjis", 4);
    main().DirTreeView->expand(main().DirTreeView->currentIndex());
    QApplication::processEvents();
    screenshot(&main(), "vanecfg-example-sjis");
    // The picker shows it and gives its bytes back.
    m_windows.picker->selectFolder(folder.string());
    EXPECT_EQ(m_windows.picker->currentFolder(), folder.string());
}

// A folder that goes while it is picked is shown as gone: the tree moves to
// no other folder, the list shows nothing, and no button acts on a folder
// that was not picked.
TEST_F(VanecfgWindowsTest, AFolderThatGoesIsShownAsGone) {
    write_all(m_root / "www/config.index", "");
    write_all(m_root / "www/c/config.index", "");
    start();
    show_folder(m_root / "www", 3);
    auto* tree = static_cast<FolderTreeModel*>(main().DirTreeView->model());
    const auto pick = [&](const fs::path& path) {
        const QModelIndex index = tree->find(path.string());
        main().DirTreeView->scrollTo(index);
        const QRect rect = steady_rect(main().DirTreeView, index);
        QTest::mouseClick(main().DirTreeView->viewport(), Qt::LeftButton, {}, rect.center());
        EXPECT_EQ(main().treeFolder(), path.string());
    };
    const auto gone = [&](const fs::path& path) {
        return wait_until([&] {
            return main().StatusBar1->currentMessage().toStdString() ==
                   "[フォルダがありません] " + path.string();
        });
    };
    pick(m_root / "www/b");
    fs::remove_all(m_root / "www/b");
    ASSERT_TRUE(gone(m_root / "www/b"));
    EXPECT_FALSE(main().DirTreeView->currentIndex().isValid());
    EXPECT_EQ(list_model()->rowCount(), 0);
    QTest::mouseClick(main().ButtonDvOFF, Qt::LeftButton);
    EXPECT_TRUE(fs::exists(m_root / "www/c/config.index"));
    EXPECT_TRUE(fs::exists(m_root / "www/config.index"));

    pick(m_root / "www/a");
    fs::remove_all(m_root / "www");
    ASSERT_TRUE(gone(m_root / "www/a"));
    EXPECT_EQ(list_model()->rowCount(), 0);
    QTest::mouseClick(main().ButtonDvON, Qt::LeftButton);
    QTest::mouseClick(main().ButtonEditConf, Qt::LeftButton);
    EXPECT_FALSE(fs::exists("/config.index"));
    EXPECT_TRUE(ui.opened.empty());
    EXPECT_EQ(ui.errors, std::vector<std::string>(3, " フォルダを選択して実行してください。　"));
}

// A rename that fails says so, with the entry and the reason.
TEST_F(VanecfgWindowsTest, AFailedRenameIsReported) {
    start();
    show_folder(m_root / "www", 3);
    QListView* list = main().FileListView;
    list->setFocus();
    list->setCurrentIndex(list_model()->find("a"));
    QTest::keyClick(list, Qt::Key_F2);
    QLineEdit* editor = nullptr;
    for (QLineEdit* e : list->findChildren<QLineEdit*>())
        editor = e->isVisible() ? e : editor;
    ASSERT_NE(editor, nullptr) << "no rename editor";
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("b"));
    QTest::keyClick(editor, Qt::Key_Return);
    wait_until([&] { return !ui.errors.empty(); }); // the edit ends after the key
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0], failure_message(" 名前を変更できません。　",
                                            (m_root / "www/a").string(), std::strerror(EEXIST)));
    EXPECT_TRUE(fs::is_directory(m_root / "www/a"));
}

TEST_F(VanecfgWindowsTest, IndexOnAndOffOnSelectedFolders) {
    start();
    show_folder(m_root / "www", 3);
    write_all(m_root / "www/b/config.index", "mine\r\n");
    select_in_list({"a", "b"});
    main().ButtonDvON->click();
    EXPECT_TRUE(ui.errors.empty()) << ui.errors.front();
    // The template beside the tool is missing here: the default two lines.
    EXPECT_EQ(read_all(m_root / "www/a/config.index"), "# config.index\r\n\r\n");
    EXPECT_EQ(read_all(m_root / "www/b/config.index"), "mine\r\n");
    EXPECT_EQ(main().StatusBar1->currentMessage().toStdString(),
              "[IndexOFF] " + (m_root / "www").string());

    main().FileListView->clearSelection();
    main().ButtonDvON->click(); // the tree's folder itself
    EXPECT_TRUE(fs::exists(m_root / "www/config.index"));
    EXPECT_EQ(main().StatusBar1->currentMessage().toStdString(),
              "[IndexON] " + (m_root / "www").string());

    ui.answerOk = false;
    select_in_list({"a"});
    main().ButtonDvOFF->click();
    EXPECT_TRUE(fs::exists(m_root / "www/a/config.index"));
    ui.answerOk = true;
    main().ButtonDvOFF->click();
    EXPECT_FALSE(fs::exists(m_root / "www/a/config.index"));
    EXPECT_EQ(ui.questions.size(), 2u);

    main().ButtonEditConf->click();
    EXPECT_EQ(ui.opened, std::vector<std::string>{(m_root / "www/a/config.index").string()});
}

TEST_F(VanecfgWindowsTest, SettingsDialogSavesOnOkAndDiscardsOnCancel) {
    start();
    TSettingForm& form = settings();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Dirvane 設定"));
    // Dirvane where it is installed, the template from the shared data.
    EXPECT_EQ(form.EditIniDir->text().toStdString(), DIRVANE_CGI_FOLDER);
    EXPECT_EQ(form.EditConfName->text(), QStringLiteral("config.index"));
    EXPECT_EQ(form.EditConfTemplate->text().toStdString(), DIRVANE_TEMPLATE_FILE);
    ASSERT_EQ(form.ComboUA->count(), 10);
    EXPECT_EQ(form.ComboUA->currentText(), QStringLiteral("Mozilla/5.0"));
    EXPECT_EQ(form.ComboUA->itemText(9), QStringLiteral("DoCoMo/1.0"));
    EXPECT_EQ(form.Label1->text(), QStringLiteral("テスト用の UserAgent 文字列"));
    EXPECT_EQ(form.ButtonEdit->text(), QStringLiteral("テンプレートの編集"));
    EXPECT_FALSE(form.ButtonRegist->isEnabled()); // no server registry yet

    when_modal(&form, [&] {
        form.ComboUA->setEditText(QStringLiteral("Typed/1.0"));
        form.EditConfName->setText(QStringLiteral("list.idx"));
        screenshot(&form, "vanecfg-settings");
        form.ButtonCancel->click();
    });
    EXPECT_FALSE(form.ShowSettings(form.settingsPath()));
    EXPECT_EQ(form.ComboUA->currentText(), QStringLiteral("Mozilla/5.0"));
    EXPECT_EQ(form.GetConfName(), "config.index");

    when_modal(&form, [&] {
        form.ComboUA->setEditText(QStringLiteral("Typed/1.0"));
        form.EditConfName->clear();
        form.ButtonOK->click();
    });
    EXPECT_TRUE(form.ShowSettings(form.settingsPath()));
    EXPECT_EQ(form.settings().userAgent, "Typed/1.0");
    EXPECT_EQ(form.ComboUA->itemText(0), QStringLiteral("Typed/1.0"));
    EXPECT_EQ(form.ComboUA->count(), 10);
    EXPECT_EQ(form.GetConfName(), "config.index"); // an empty name is the default
    const std::string saved = read_all(m_root / "tool/Vanecfg.ini");
    EXPECT_NE(saved.find("ua0=Typed/1.0\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("ua9=DoCoMo/2.0\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("swfile=0\r\n"), std::string::npos) << saved;
}

// A long stored user agent neither widens the dialog nor pushes its
// buttons out of it; the dialog cannot be resized.
// Settings whose bytes are no text here (Shift_JIS) keep them: shown with
// U+FFFD, used and written back exactly when another setting changes.
TEST_F(VanecfgWindowsTest, SettingsKeepTheirBytes) {
    const std::string cgi = (m_root / "cgi_").string() + "\x83\x5c\x95\x5c";
    const std::string agent = "Agent/\x83\x5c";
    write_all(m_root / "tool/Vanecfg.ini", "[tool]\r\ninidir=" + cgi + "\r\ntemplate=" + cgi +
                                               "/t.txt\r\nua0=" + agent + "\r\n");
    start();
    TSettingForm& form = settings();
    EXPECT_EQ(form.GetCgiPath(), cgi + "/Dirvane");
    EXPECT_EQ(form.settings().userAgent, agent);
    when_modal(&form, [&] {
        form.ComboUA->lineEdit()->selectAll();
        QTest::keyClicks(form.ComboUA->lineEdit(), QStringLiteral("New/1.0"));
        QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    });
    EXPECT_TRUE(form.ShowSettings(""));
    const std::string saved = read_all(m_root / "tool/Vanecfg.ini");
    for (const std::string& line : std::vector<std::string>{
             "inidir=" + cgi, "template=" + cgi + "/t.txt", "ua0=New/1.0", "ua1=" + agent})
        EXPECT_NE(saved.find(line + "\r\n"), std::string::npos) << line << " in " << saved;
}

// The folder settings file's name is a name: one with a folder in it is
// refused with a message, and the dialog stays open.
TEST_F(VanecfgWindowsTest, SettingsRefuseAFolderInTheFileName) {
    start();
    TSettingForm& form = settings();
    bool stayed = false;
    when_modal(&form, [&] {
        form.EditConfName->selectAll();
        QTest::keyClicks(form.EditConfName, QStringLiteral("../config.index"));
        QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
        stayed = form.isVisible();
        form.EditConfName->selectAll();
        QTest::keyClicks(form.EditConfName, QStringLiteral("list.idx"));
        QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    });
    EXPECT_TRUE(form.ShowSettings(""));
    EXPECT_TRUE(stayed);
    EXPECT_EQ(ui.errors, std::vector<std::string>{std::string(conf_name_message)});
    EXPECT_EQ(form.GetConfName(), "list.idx");
}

TEST_F(VanecfgWindowsTest, SettingsDialogKeepsItsSizeWithALongUserAgent) {
    const std::string agent = "Mozilla/5.0 (" + std::string(220, 'x') + ") Gecko/2010 Firefox/1";
    write_all(m_root / "tool/Vanecfg.ini", "[tool]\r\nua0=" + agent + "\r\n");
    start();
    TSettingForm& form = settings();
    ASSERT_EQ(form.ComboUA->currentText().toStdString(), agent);
    when_modal(&form, [&] {
        screenshot(&form, "vanecfg-settings-long-ua");
        EXPECT_LE(form.width(), 640);
        EXPECT_EQ(form.minimumSize(), form.maximumSize());
        for (QWidget* control : std::initializer_list<QWidget*>{form.ButtonOK, form.ButtonCancel,
                                                                form.ButtonGetIniDir, form.ComboUA})
            EXPECT_TRUE(form.rect().contains(control->geometry()))
                << control->objectName().toStdString();
        form.ButtonCancel->click();
    });
    form.ShowSettings("");
}

TEST_F(VanecfgWindowsTest, RegistrationButtonFollowsTheServerList) {
    write_all(m_root / "registry.reg",
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Index]\r\n"
              "\"Default\"=\"index.html,index.htm\"\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Progs]\r\n\"Count\"=dword:"
              "00000000\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Progs\\Attrs]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Progs\\Names]\r\n");
    start();
    TSettingForm& form = settings();
    when_modal(&form, [&] {
        EXPECT_TRUE(form.ButtonRegist->isEnabled());
        EXPECT_EQ(form.ButtonRegist->text(), QStringLiteral("AnHTTPD登録追加"));
        form.ButtonRegist->click(); // the fake answers OK
        EXPECT_EQ(form.ButtonRegist->text(), QStringLiteral("AnHTTPD登録削除"));
        form.ButtonRegist->click();
        EXPECT_EQ(form.ButtonRegist->text(), QStringLiteral("AnHTTPD登録追加"));
        form.ButtonCancel->click();
    });
    form.ShowSettings("");
    EXPECT_EQ(ui.informations.size(), 2u);
    EXPECT_TRUE(ui.errors.empty());
    const std::string registry = read_all(m_root / "registry.reg");
    EXPECT_NE(registry.find("\"Default\"=\"index.html,index.htm\""), std::string::npos) << registry;
}

// A missing or broken registry file: the disabled button's tool tip says
// why, with the file and the line the server would report.
TEST_F(VanecfgWindowsTest, RegistrationButtonSaysWhyItIsDisabled) {
    start();
    TSettingForm& form = settings();
    const std::string registry = (m_root / "registry.reg").string();
    const auto shown_tip = [&] {
        // The tool tip event the mouse resting on the button would bring.
        const QPoint at = form.ButtonRegist->rect().center();
        QHelpEvent event(QEvent::ToolTip, at, form.ButtonRegist->mapToGlobal(at));
        QApplication::sendEvent(form.ButtonRegist, &event);
        const bool shown = wait_until([] { return QToolTip::isVisible(); });
        const std::string text = shown ? QToolTip::text().toStdString() : "";
        QToolTip::hideText();
        return text;
    };
    std::string missingTip, brokenTip, shownTip;
    when_modal(&form, [&] {
        EXPECT_FALSE(form.ButtonRegist->isEnabled());
        missingTip = form.ButtonRegist->toolTip().toStdString();
        form.ButtonCancel->click();
    });
    form.ShowSettings("");
    EXPECT_NE(missingTip.find(registry + ": no such file\n"), std::string::npos) << missingTip;
    EXPECT_NE(missingTip.find("dirvane-httpd --register"), std::string::npos) << missingTip;
    EXPECT_EQ(missingTip.find('\r'), std::string::npos) << missingTip;

    write_all(m_root / "registry.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Index]\r\n"
                                       "\"Default\"=\"index.html,index.htm\r\n");
    when_modal(&form, [&] {
        EXPECT_FALSE(form.ButtonRegist->isEnabled());
        brokenTip = form.ButtonRegist->toolTip().toStdString();
        shownTip = shown_tip();
        form.ButtonCancel->click();
    });
    form.ShowSettings("");
    EXPECT_NE(brokenTip.find(registry + ":4: expected a closing double quote"), std::string::npos)
        << brokenTip;
    EXPECT_EQ(shownTip, brokenTip) << "the disabled button shows no tool tip";
}

// when_file_dialog runs `action` on the file dialog as soon as it is the
// modal window.
void when_file_dialog(const std::function<void(QFileDialog*)>& action) {
    QTimer::singleShot(10, [action] {
        QFileDialog* dialog = nullptr;
        if (!wait_until([&] {
                dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                return dialog != nullptr && dialog->isVisible();
            })) {
            ADD_FAILURE() << "no file dialog";
            return;
        }
        action(dialog);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the file dialog stayed open";
            dialog->reject();
        }
    });
}

// listed returns the names the file dialog shows, sorted.
std::vector<std::string> listed(QFileDialog* dialog) {
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    if (view == nullptr)
        return {};
    std::vector<std::string> names;
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
        names.push_back(
            view->model()->index(row, 0, view->rootIndex()).data().toString().toStdString());
    std::sort(names.begin(), names.end());
    return names;
}

// The editor picker offers the programs first, known by their rights, and
// every file second; under a Japanese locale the dialog's own texts are
// Japanese.
TEST_F(VanecfgWindowsTest, EditorPickerOffersProgramsFirst) {
    QTranslator english;
    EXPECT_FALSE(load_qt_translations(english, QLocale(QLocale::English, QLocale::UnitedStates)));
    QTranslator japanese;
    ASSERT_TRUE(load_qt_translations(japanese, QLocale(QLocale::Japanese, QLocale::Japan)))
        << "Qt's Japanese translations (qt6-translations-l10n) are missing";
    QCoreApplication::installTranslator(&japanese);
    fs::create_directories(m_root / "bin/sub");
    write_all(m_root / "bin/editor", "#!/bin/sh\n");
    write_all(m_root / "bin/notes.txt", "");
    fs::permissions(m_root / "bin/editor",
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    start();
    TSettingForm& form = settings();
    std::vector<std::string> programs, all;
    std::string typesLabel, chosen;
    QString firstFilter;
    when_modal(&form, [&] {
        form.EditEditor->setText(QString::fromStdString((m_root / "bin/notes.txt").string()));
        when_file_dialog([&](QFileDialog* dialog) {
            firstFilter = dialog->selectedNameFilter();
            const std::vector<std::string> wanted{"editor", "sub"};
            wait_until([&] { return listed(dialog) == wanted; });
            programs = listed(dialog);
            typesLabel =
                dialog->findChild<QLabel*>(QStringLiteral("fileTypeLabel"))->text().toStdString();
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            types->setFocus();
            QTest::keyClick(types, Qt::Key_Down);
            wait_until([&] { return listed(dialog).size() == 3; });
            all = listed(dialog);
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(QStringLiteral("editor"));
            QTest::keyClick(name, Qt::Key_Return);
        });
        form.ButtonSetEditor->click();
        chosen = form.EditEditor->text().toStdString();
        form.ButtonCancel->click();
    });
    form.ShowSettings("");
    QCoreApplication::removeTranslator(&japanese);
    EXPECT_EQ(firstFilter.toStdString(), "実行ファイル"); // shown without its pattern
    EXPECT_EQ(programs, (std::vector<std::string>{"editor", "sub"}));
    EXPECT_EQ(all, (std::vector<std::string>{"editor", "notes.txt", "sub"}));
    EXPECT_NE(typesLabel, "Files of type:");
    EXPECT_EQ(QString::fromStdString(typesLabel),
              japanese.translate("QFileDialog", "Files of type:"));
    EXPECT_EQ(chosen, (m_root / "bin/editor").string());
}

// The template dialog shows the types by their labels, the last one as
// "全てのファイル", and that type lists every file.
TEST_F(VanecfgWindowsTest, TemplateDialogShowsTheTypesByTheirLabels) {
    write_all(m_root / "tool/notes", "");
    start();
    TSettingForm& form = settings();
    QStringList labels;
    std::vector<std::string> everything;
    when_modal(&form, [&] {
        when_file_dialog([&](QFileDialog* dialog) {
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            for (int i = 0; i < types->count(); ++i)
                labels << types->itemText(i);
            dialog->setDirectory(QString::fromStdString((m_root / "tool").string()));
            types->setFocus();
            QTest::keyClick(types, Qt::Key_End);
            wait_until([&] { return !listed(dialog).empty(); });
            everything = listed(dialog);
            dialog->reject();
        });
        QTest::mouseClick(form.ButtonGetConfTmplt, Qt::LeftButton);
        form.ButtonCancel->click();
    });
    form.ShowSettings("");
    EXPECT_EQ(labels, (QStringList{QStringLiteral("テキストファイル(*.txt)"),
                                   QStringLiteral("表示設定ファイル(*.index)"),
                                   QStringLiteral("全てのファイル")}));
    EXPECT_NE(std::find(everything.begin(), everything.end(), "notes"), everything.end());
}

TEST_F(VanecfgWindowsTest, FolderPickerCancelKeepsAndDoubleClickTakes) {
    start();
    TSettingForm& form = settings();
    TGetDirForm& picker = *m_windows.picker;
    EXPECT_EQ(picker.windowTitle(), QStringLiteral("Dirvane - フォルダ選択"));
    const QString before = form.EditIniDir->text();
    // The dialog's button works as it would inside the shown dialog.
    when_modal(&picker, [&] {
        picker.selectFolder((m_root / "www").string());
        picker.ButtonCancel->click();
    });
    form.ButtonGetIniDir->click();
    EXPECT_EQ(form.EditIniDir->text(), before);
    EXPECT_TRUE(picker.chosenPath().empty());

    when_modal(&picker, [&] {
        picker.selectFolder((m_root / "www/b").string());
        ASSERT_EQ(picker.currentFolder(), (m_root / "www/b").string());
        screenshot(&picker, "vanecfg-getdir");
        const QPersistentModelIndex current = picker.DirTree->currentIndex();
        // The branches above load in the background and move the row: wait
        // until it stays where it is.
        QRect last;
        int steady = 0;
        ASSERT_TRUE(wait_until([&] {
            picker.DirTree->scrollTo(current);
            const QRect rect = picker.DirTree->visualRect(current);
            steady = rect.isValid() && rect == last ? steady + 1 : 0;
            last = rect;
            return steady >= 20;
        }));
        const QPoint at = last.center();
        int doubleClicks = 0;
        QObject::connect(picker.DirTree, &QTreeView::doubleClicked, [&] { ++doubleClicks; });
        QTest::mouseClick(picker.DirTree->viewport(), Qt::LeftButton, {}, at);
        ASSERT_EQ(picker.DirTree->currentIndex(), current);
        QTest::mouseDClick(picker.DirTree->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(doubleClicks, 1);
        if (picker.isVisible()) {
            ADD_FAILURE() << "a double click did not close the picker";
            picker.reject();
        }
    });
    form.ButtonGetIniDir->click();
    EXPECT_EQ(form.EditIniDir->text().toStdString(), (m_root / "www/b").string());
}

TEST_F(VanecfgWindowsTest, ShowFilesIsKeptAcrossRuns) {
    start();
    main().CheckFileOn->click();
    main().close();
    EXPECT_NE(read_all(m_root / "tool/Vanecfg.ini").find("swfile=1\r\n"), std::string::npos);
    m_windows.main.reset();
    start();
    EXPECT_TRUE(main().CheckFileOn->isChecked());
    main().CheckFileOn->click();
    main().close();
    EXPECT_NE(read_all(m_root / "tool/Vanecfg.ini").find("swfile=0\r\n"), std::string::npos);
}

#ifdef DIRVANE_PROGRAM
// A tool folder that cannot be written (gone here, as no rights keep root
// out): every failed write says which file and why, and Dirvane's page
// never lands on the tool's own output.
TEST_F(VanecfgWindowsTest, FailedWritesNameTheFileAndTheReason) {
    fs::create_directories(m_root / "cgi");
    fs::copy_file(DIRVANE_PROGRAM, m_root / "cgi/Dirvane");
    write_all(m_root / "www/config.index", "");
    start();
    show_folder(m_root / "www", 3);
    fs::remove_all(m_root / "tool");
    const std::string ini = (m_root / "tool/Vanecfg.ini").string();
    when_modal(&settings(), [&] {
        settings().EditIniDir->setText(QString::fromStdString((m_root / "cgi").string()));
        settings().ButtonOK->click();
    });
    main().ButtonSetting->click();
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_TRUE(missing_folder_failure(ui.errors[0], " 設定ファイルを保存できません。　", ini))
        << ui.errors[0];

    ::testing::internal::CaptureStdout();
    main().ButtonTest->click();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(ui.errors.size(), 2u);
    EXPECT_TRUE(missing_folder_failure(ui.errors[1], " HTMLファイルを出力できません。　",
                                       (m_root / "tool/Dirvane_test0.html").string()))
        << ui.errors[1];
    EXPECT_TRUE(ui.opened.empty());

    main().close(); // writes swfile
    ASSERT_EQ(ui.errors.size(), 3u);
    EXPECT_TRUE(missing_folder_failure(ui.errors[2], " 設定ファイルを保存できません。　", ini))
        << ui.errors[2];

    // The real message box with that text, for the screenshot.
    QtToolUi real(&main());
    QTimer::singleShot(10, [&] {
        QMessageBox* box = nullptr;
        if (!wait_until([&] {
                box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                return box != nullptr && box->isVisible();
            })) {
            ADD_FAILURE() << "no message box";
            return;
        }
        EXPECT_TRUE(QTest::qWaitForWindowExposed(box));
        screenshot(box, "vanecfg-write-error");
        box->button(QMessageBox::Ok)->click();
    });
    real.show_error(ui.errors[1]);
}
#endif

#ifdef VANECFG_PROGRAM
// Started from elsewhere, the program keeps its settings in the user's
// settings folder, never in its own folder or the working one; --help and
// --version answer without a display.
TEST_F(VanecfgWindowsTest, ProgramKeepsItsSettingsInTheUsersFolder) {
    fs::copy_file(VANECFG_PROGRAM, m_root / "tool/Vanecfg");
    const std::string program = (m_root / "tool/Vanecfg").string();
    const fs::path out = m_root / "out.txt";
    for (const char* option : {"--version", "--help"}) {
        const auto run = platform::run_process_in(
            {"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "/bin/sh", "-c",
             "\"$0\" \"$1\" >\"$2\" 2>&1", program, option, out.string()},
            m_root.string(), {"QT_QPA_PLATFORM=xcb"}, 10000);
        ASSERT_TRUE(run) << run.failure().message();
        ASSERT_FALSE(run.value().timedOut);
        EXPECT_EQ(run.value().exitCode, 0) << option << ": " << read_all(out);
        EXPECT_EQ(read_all(out).rfind(option == std::string("--version") ? "Vanecfg (Dirvane) "
                                                                         : "Usage: Vanecfg",
                                      0),
                  0u)
            << read_all(out);
    }

    const auto started = platform::start_process_in(
        {program}, (m_root / "www").string(),
        {"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + (m_root / "config").string()});
    ASSERT_TRUE(started) << started.failure().message();
    const platform::ProcessId child = started.value();
    const bool created =
        wait_until([&] { return fs::exists(m_root / "config/dirvane/Vanecfg.ini"); });
    platform::stop_process(child);
    platform::wait_process(child);
    EXPECT_TRUE(created);
    EXPECT_FALSE(fs::exists(m_root / "tool/Vanecfg.ini"));
    EXPECT_FALSE(fs::exists(m_root / "www/Vanecfg.ini"));
}
#endif

#ifdef DIRVANE_PROGRAM
// A program named Dirvane in the tested folder is its owner's, never run:
// an empty Dirvane folder field is the root folder, a relative one lies in
// the tool folder, and the program checked there is the one started.
TEST_F(VanecfgWindowsTest, DisplayTestNeverRunsAProgramFromTheTestedFolder) {
    fs::copy_file(DIRVANE_PROGRAM, m_root / "tool/Dirvane");
    write_all(m_root / "www/Dirvane",
              "#!/bin/sh\ntouch \"" + (m_root / "ran").string() + "\"\necho owned > \"$2\"\n");
    fs::permissions(m_root / "www/Dirvane", fs::perms::owner_all);
    write_all(m_root / "www/config.index", "");
    write_all(m_root / "tool/Vanecfg.ini", "[tool]\r\ninidir=\r\n");
    start();
    show_folder(m_root / "www", 3);
    QTest::mouseClick(main().ButtonTest, Qt::LeftButton);
    EXPECT_EQ(ui.errors, std::vector<std::string>{" CGI実行ファイルが見つかりません。　"});
    EXPECT_TRUE(ui.opened.empty());

    ui.errors.clear();
    settings().EditIniDir->setText(QStringLiteral("."));
    QTest::mouseClick(main().ButtonTest, Qt::LeftButton);
    EXPECT_TRUE(ui.errors.empty()) << ui.errors.front();
    ASSERT_EQ(ui.opened.size(), 1u);
    EXPECT_NE(read_all(ui.opened[0]).find("readme.txt"), std::string::npos);
    EXPECT_FALSE(fs::exists(m_root / "ran"));
}

TEST_F(VanecfgWindowsTest, DisplayTestButtonRunsDirvaneOnTheTreeFolder) {
    fs::copy_file(DIRVANE_PROGRAM, m_root / "tool/Dirvane");
    write_all(m_root / "tool/Vanecfg.ini", "[tool]\r\ninidir=" + (m_root / "tool").string());
    start();
    show_folder(m_root / "www", 3);
    select_in_list({"a", "b"});
    main().ButtonTest->click();
    EXPECT_EQ(ui.errors,
              std::vector<std::string>{" フォルダを一つだけ選択して実行してください。　"});
    main().FileListView->clearSelection();
    main().ButtonDvON->click();
    // A user agent chosen in the settings and confirmed with OK is the one
    // the test sends.
    when_modal(&settings(), [&] {
        settings().ComboUA->setEditText(QStringLiteral("DoCoMo/2.0 & <test>"));
        settings().ButtonOK->click();
    });
    main().ButtonSetting->click();
    main().ButtonTest->click();
    ASSERT_EQ(ui.opened.size(), 1u) << ui.errors.back();
    EXPECT_EQ(ui.opened[0], (m_root / "tool/Dirvane_test0.html").string());
    // The page is the one Dirvane writes for that folder and request.
    const fs::path expected = m_root / "expected.html";
    const auto run =
        platform::run_process_in({(m_root / "tool/Dirvane").string(),
                                  (m_root / "www/config.index").string(), expected.string()},
                                 (m_root / "www").string(),
                                 {"SERVER_NAME=TestServer", "HTTP_USER_AGENT=DoCoMo/2.0 & <test>",
                                  "SCRIPT_NAME=/Dirvane/test/config.index"},
                                 10000);
    ASSERT_TRUE(run) << run.failure().message();
    ASSERT_FALSE(run.value().timedOut);
    const std::string page = read_all(ui.opened[0]);
    EXPECT_NE(page.find("readme.txt"), std::string::npos);
    EXPECT_EQ(page, read_all(expected));
    EXPECT_EQ(main().displayTest().counter(), 1);
}
#endif

} // namespace
