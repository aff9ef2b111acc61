// The tool settings dialog's behaviour, shared by its views.
#include "tool/setting_form_model.h"

#include "platform/file.h"
#include "platform/registry.h"

SettingFormModel::SettingFormModel(ToolUi& ui, std::string registryPath)
    : m_ui(ui), m_registryPath(std::move(registryPath)),
      m_toolFolder(platform::current_directory()),
      m_settingsPath(tool_file_path(m_toolFolder, tool_settings_file_name)) {}

std::string SettingFormModel::GetIniPath() const {
    return get_ini_path(settings());
}

std::string SettingFormModel::GetCgiPath() const {
    return get_cgi_path(settings());
}

std::string SettingFormModel::GetConfName() const {
    return get_conf_name(settings());
}

std::string SettingFormModel::GetTemplatePath() const {
    return get_template_path(settings());
}

std::string SettingFormModel::GetEditorPath() const {
    return get_editor_path(settings());
}

void SettingFormModel::use_settings_path(const std::string& path) {
    if (!path.empty())
        m_settingsPath = path;
}

ToolSettings SettingFormModel::load_settings() const {
    ToolSettings s;
    load_tool_settings(s, m_settingsPath, m_toolFolder);
    return s;
}

bool SettingFormModel::save_settings(ToolSettings& s) {
    return save_tool_settings(m_ui, s, m_settingsPath);
}

RegistButton SettingFormModel::regist_state() const {
    const platform::RegistryStore store(m_registryPath);
    return regist_button_state(store, GetConfName());
}

bool SettingFormModel::regist_change() {
    platform::RegistryStore store(m_registryPath);
    return regist_click(m_ui, store, GetConfName(), GetCgiPath());
}

void SettingFormModel::edit_template() {
    const ToolSettings s = settings();
    open_for_editing(m_ui, s, get_template_path(s));
}
