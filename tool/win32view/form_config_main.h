// TFormConfigMain: the main window, where the administrator switches the
// index page of web folders on and off, edits the settings files, runs the
// display test and opens the tool settings.
#pragma once

#include "tool/display_test.h"
#include "tool/main_window_model.h"
#include "tool/win32view/shell_views.h"
#include "tool/win32view/win32_controls.h"

#include <windows.h>

#include <string>
#include <vector>

class TSettingForm;
class ToolUi;

class TFormConfigMain {
  public:
    // Creates the window, hidden; the tool folder is the working directory.
    explicit TFormConfigMain(ToolUi& ui);
    ~TFormConfigMain();
    TFormConfigMain(const TFormConfigMain&) = delete;
    TFormConfigMain& operator=(const TFormConfigMain&) = delete;

    HWND handle() const { return m_window; }

    // The tool settings dialog is created after this window.
    void setSettingForm(TSettingForm* form);

    // What the buttons act on: the tree's folder ("" for none) and the
    // paths of the items selected in the list, in list order.
    std::string treeFolder() const;
    std::vector<std::string> selectedListItems() const;
    void selectTreeFolder(const std::string& path);

    // The status line's text and a control's hint, as the window shows them.
    std::string statusText() const;
    std::string hintOf(HWND control) const { return m_tips.hint_of(control); }

    const std::string& toolFolder() const { return m_model.tool_folder(); }
    const DisplayTest& displayTest() const { return m_model.display_test(); }

    win32view::ShellTree DirTreeView;
    win32view::ShellList FileListView;
    HWND ButtonEditIni = nullptr;
    HWND ButtonTest = nullptr;
    HWND ButtonSetting = nullptr;
    HWND CheckFileOn = nullptr;
    HWND ButtonDvON = nullptr;
    HWND ButtonDvOFF = nullptr;
    HWND ButtonEditConf = nullptr;
    HWND StatusBar1 = nullptr;

    void ButtonDvONClick();
    void ButtonDvOFFClick();
    void ButtonEditConfClick();
    void ButtonEditIniClick();
    void ButtonSettingClick();
    void ButtonTestClick();
    void CheckFileOnClick();

  private:
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void create_controls();
    void layout(int width, int height);
    bool command(int id, int code);
    LRESULT notify(const NMHDR* header);

    void FormCreate();
    void FormClose();
    void LoadToolSettings();
    void SaveToolSettings();
    void DirTreeViewChange();
    void updateStatusLine();

    MainWindowModel m_model;
    HWND m_window = nullptr;
    win32view::Tooltips m_tips;
    SIZE m_minimum{0, 0};
    // The folder the user picked in the tree. The tree moves its selection
    // by itself when a branch read again has lost the selected folder: that
    // is no pick, and the buttons go on naming the folder that has gone.
    std::string m_picked;
    bool m_selecting = false; // selectTreeFolder is choosing the folder
};
