// TSettingForm: the modal tool settings dialog. Its controls are the live
// store of the tool settings: the other windows read them through the
// accessors, also while the dialog is hidden.
#pragma once

#include "tool/setting_form_model.h"
#include "tool/tool_settings.h"
#include "tool/win32view/win32_controls.h"

#include <string>
#include <string_view>

class TGetDirForm;

class TSettingForm : public win32view::ModalDialog, public SettingFormModel {
  public:
    // Creates the hidden dialog owned by `owner`; the tool folder is the
    // working directory now. `registryPath` names the web server's
    // registry values.
    TSettingForm(ToolUi& ui, HWND owner, std::string registryPath);

    void setFolderPicker(TGetDirForm* picker) { m_picker = picker; }

    bool ShowSettings(const std::string& path) override;

    // The controls' texts; the accessors come with SettingFormModel.
    ToolSettings settings() const override;

    // FormShow sets the registration button's caption and state, and its
    // hint: why it is disabled.
    void FormShow();
    std::string hintOf(HWND control) const { return m_tips.hint_of(control); }
    void ButtonRegistClick();

    HWND EditIniDir = nullptr;
    HWND ButtonGetIniDir = nullptr;
    HWND EditConfName = nullptr;
    HWND ButtonRegist = nullptr;
    HWND EditConfTemplate = nullptr;
    HWND ButtonGetConfTmplt = nullptr;
    HWND EditEditor = nullptr;
    HWND ButtonSetEditor = nullptr;
    HWND Label1 = nullptr;
    HWND ComboUA = nullptr;
    HWND ButtonEdit = nullptr;
    HWND ButtonOK = nullptr;
    HWND ButtonCancel = nullptr;

    // What the file dialogs offer, in the "text|pattern|..." form.
    static constexpr std::string_view template_filter =
        "テキストファイル(*.txt)|*.txt|表示設定ファイル(*.index)|*.index|全てのファイル|*.*";
    static constexpr std::string_view editor_filter =
        "実行ファイル|*.exe;*.com;*.bat;*.cmd|全てのファイル|*.*";

  private:
    void create_controls() override;
    void on_show() override;
    bool on_command(int id, int code, HWND control) override;

    void LoadSettings();
    void SaveSettings();
    void fill_user_agents(const ToolSettings& s, const std::string& text);
    void ButtonGetIniDirClick();
    void ButtonGetConfTmpltClick();
    void ButtonSetEditorClick();
    void ButtonEditClick();

    TGetDirForm* m_picker = nullptr;
    win32view::Tooltips m_tips;
};

// open_file_name runs the open-file dialog over `owner` with `filter` in
// the "text|pattern|..." form, starting at `current`; the chosen file, or
// "" when cancelled.
std::string open_file_name(HWND owner, std::string_view filter, const std::string& current);
