// The main window's behaviour, shared by its views.
#include "tool/main_window_model.h"

#include "tool/folder_switch.h"

#include "platform/file.h"

MainWindowModel::MainWindowModel(ToolUi& ui)
    : m_ui(ui), m_toolFolder(platform::current_directory()),
      m_settingsPath(tool_file_path(m_toolFolder, tool_settings_file_name)), m_test(m_toolFolder) {}

bool MainWindowModel::load_show_files() const {
    if (platform::path_kind(m_settingsPath) == platform::PathKind::missing)
        create_default_tool_settings(m_settingsPath); // silently nothing on failure
    return read_show_files(m_settingsPath);
}

void MainWindowModel::save_show_files(bool showFiles) {
    ::save_show_files(m_ui, m_settingsPath, showFiles);
}

std::string MainWindowModel::status(const std::string& treeFolder) const {
    if (m_settingForm == nullptr)
        return std::string();
    return status_line(treeFolder, m_settingForm->settings());
}

void MainWindowModel::index_on(const std::vector<std::string>& selected,
                               const std::string& treeFolder) {
    if (m_settingForm != nullptr)
        ::index_on(m_ui, target_folders(selected, treeFolder), m_settingForm->settings());
}

void MainWindowModel::index_off(const std::vector<std::string>& selected,
                                const std::string& treeFolder) {
    if (m_settingForm != nullptr)
        ::index_off(m_ui, target_folders(selected, treeFolder), m_settingForm->settings());
}

void MainWindowModel::edit_conf(const std::vector<std::string>& selected,
                                const std::string& treeFolder) {
    if (m_settingForm == nullptr)
        return;
    const ToolSettings settings = m_settingForm->settings();
    for (const std::string& folder : target_folders(selected, treeFolder))
        edit_conf_file(m_ui, folder, settings);
}

void MainWindowModel::edit_ini() {
    if (m_settingForm == nullptr)
        return;
    const ToolSettings settings = m_settingForm->settings();
    open_for_editing(m_ui, settings, get_ini_path(settings));
}

void MainWindowModel::show_settings() {
    if (m_settingForm != nullptr)
        m_settingForm->ShowSettings(m_settingsPath);
}

void MainWindowModel::display_test(const std::vector<std::string>& selected,
                                   const std::string& treeFolder) {
    if (m_settingForm == nullptr)
        return;
    std::string folder;
    if (choose_test_folder(m_ui, selected, treeFolder, folder))
        m_test.run(m_ui, folder, m_settingForm->settings());
}
