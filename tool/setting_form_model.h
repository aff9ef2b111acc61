// What the tool settings dialog does, whatever toolkit shows it: where the
// tool settings file is, the accessors the other windows read, saving with
// its failure shown, the registration button and the template editor. A
// view derives from it and supplies the controls' current texts.
#pragma once

#include "tool/registration.h"
#include "tool/tool_settings.h"
#include "tool/tool_ui.h"

#include <string>

class SettingFormModel {
  public:
    // The tool folder is the working directory now; `registryPath` names
    // the web server's registry values.
    SettingFormModel(ToolUi& ui, std::string registryPath);
    virtual ~SettingFormModel() = default;
    SettingFormModel(const SettingFormModel&) = delete;
    SettingFormModel& operator=(const SettingFormModel&) = delete;

    // settings returns the controls' texts as they are now.
    virtual ToolSettings settings() const = 0;

    // ShowSettings shows the dialog modally (reading `path` first when it
    // is given); OK saves, anything else discards the edits. True on OK.
    virtual bool ShowSettings(const std::string& path) = 0;

    // The accessors, read from the controls as they are now.
    std::string GetIniPath() const;
    std::string GetCgiPath() const;
    std::string GetConfName() const;
    std::string GetTemplatePath() const;
    std::string GetEditorPath() const;

    const std::string& toolFolder() const { return m_toolFolder; }
    const std::string& settingsPath() const { return m_settingsPath; }

  protected:
    // use_settings_path makes a non-empty `path` the tool settings path.
    void use_settings_path(const std::string& path);
    // load_settings reads the tool settings file.
    ToolSettings load_settings() const;
    // save_settings writes `s` (its user-agent list updated), showing the
    // file and the reason when that fails.
    bool save_settings(ToolSettings& s);
    // regist_state is the registration button's caption and state.
    RegistButton regist_state() const;
    // regist_change is the registration button: true when the dialog
    // should show the button's new state.
    bool regist_change();
    // edit_template opens the template for editing.
    void edit_template();

    ToolUi& m_ui;

  private:
    std::string m_registryPath;
    std::string m_toolFolder;
    std::string m_settingsPath;
};
