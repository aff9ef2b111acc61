// What the main window does, whatever toolkit shows it: the tool settings
// file's "swfile", the status line, and the buttons on the folders the view
// names (the items selected in its list, in list order, and its tree's
// folder). Every button does nothing until the tool settings dialog exists.
#pragma once

#include "tool/display_test.h"
#include "tool/setting_form_model.h"
#include "tool/tool_ui.h"

#include <string>
#include <vector>

class MainWindowModel {
  public:
    // The tool folder is the working directory now.
    explicit MainWindowModel(ToolUi& ui);

    // The tool settings dialog is created after the main window.
    void set_setting_form(SettingFormModel* form) { m_settingForm = form; }

    const std::string& tool_folder() const { return m_toolFolder; }
    const std::string& settings_path() const { return m_settingsPath; }
    const DisplayTest& display_test() const { return m_test; }

    // load_show_files creates the default tool settings file when there is
    // none (silently nothing when it cannot be) and reads "swfile";
    // save_show_files writes it, showing the file and the reason on failure.
    bool load_show_files() const;
    void save_show_files(bool showFiles);

    // status is the status line for the tree's folder ("" without the
    // dialog or without a folder).
    std::string status(const std::string& treeFolder) const;

    void index_on(const std::vector<std::string>& selected, const std::string& treeFolder);
    void index_off(const std::vector<std::string>& selected, const std::string& treeFolder);
    void edit_conf(const std::vector<std::string>& selected, const std::string& treeFolder);
    void edit_ini();
    void show_settings();
    void display_test(const std::vector<std::string>& selected, const std::string& treeFolder);
    // show_error shows a failure of the view's own (a rename in the list).
    void show_error(std::string_view message) { m_ui.show_error(message); }

  private:
    ToolUi& m_ui;
    SettingFormModel* m_settingForm = nullptr;
    std::string m_toolFolder;
    std::string m_settingsPath;
    DisplayTest m_test;
};
