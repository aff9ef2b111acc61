#include "tool/win32view/setting_form.h"

#include "tool/registration.h"
#include "tool/win32view/get_dir_form.h"

#include "platform/file.h"
#include "platform/registry.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

namespace {

enum ControlId {
    id_ini_dir = 101,
    id_get_ini_dir,
    id_conf_name,
    id_regist,
    id_conf_template,
    id_get_conf_template,
    id_editor,
    id_set_editor,
    id_user_agent,
    id_edit_template,
};

// The client area, as the dialog is laid out.
constexpr int client_width = 338;
constexpr int client_height = 252;

std::vector<std::string> combo_items(HWND combo) {
    std::vector<std::string> items;
    const auto count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const auto length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0) {
            items.emplace_back();
            continue;
        }
        std::vector<char> text(static_cast<std::size_t>(length) + 1);
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(text.data()));
        items.emplace_back(text.data());
    }
    return items;
}

} // namespace

std::string open_file_name(HWND owner, std::string_view filter, const std::string& current) {
    // "a|b|c|d" becomes "a\0b\0c\0d\0\0".
    std::string filters(filter);
    for (char& c : filters) {
        if (c == '|')
            c = '\0';
    }
    filters.append(2, '\0');
    char file[MAX_PATH] = "";
    if (current.size() < MAX_PATH)
        current.copy(file, current.size());
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.Flags =
        OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER;
    return GetOpenFileNameA(&dialog) ? std::string(file) : std::string();
}

TSettingForm::TSettingForm(ToolUi& ui, HWND owner, std::string registryPath)
    : SettingFormModel(ui, std::move(registryPath)) {
    create_window(owner, "Dirvane 設定", client_width, client_height);
    LoadSettings(); // FormCreate: the controls from the tool settings file
}

void TSettingForm::create_controls() {
    using namespace win32view;
    HWND w = m_window;
    create_label(w, "Dirvane実行ファイルの所在(フォルダ)", 8, 8, 320, 14);
    EditIniDir = create_edit(w, id_ini_dir, 8, 23, 290, 21);
    ButtonGetIniDir = create_button(w, "...", id_get_ini_dir, 302, 23, 28, 21);
    create_label(w, "インデックス表示設定ファイル名", 8, 50, 320, 14);
    EditConfName = create_edit(w, id_conf_name, 8, 65, 180, 21);
    ButtonRegist = create_button(w, regist_add_caption, id_regist, 196, 64, 134, 23);
    EnableWindow(ButtonRegist, FALSE); // until the dialog is shown
    create_label(w, "インデックス表示設定ファイルのテンプレート", 8, 92, 320, 14);
    EditConfTemplate = create_edit(w, id_conf_template, 8, 107, 290, 21);
    ButtonGetConfTmplt = create_button(w, "...", id_get_conf_template, 302, 107, 28, 21);
    create_label(w, "テキストファイルの編集に使用するエディタ", 8, 134, 320, 14);
    EditEditor = create_edit(w, id_editor, 8, 149, 290, 21);
    ButtonSetEditor = create_button(w, "...", id_set_editor, 302, 149, 28, 21);
    Label1 = create_label(w, "テスト用の UserAgent 文字列", 8, 182, 160, 14);
    ComboUA =
        create_child(w, WC_COMBOBOXA, "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                     id_user_agent, 170, 178, 160, 200);
    ButtonEdit = create_button(w, "テンプレートの編集", id_edit_template, 8, 218, 130, 25);
    ButtonOK = create_button(w, "OK", IDOK, 176, 218, 74, 25, BS_DEFPUSHBUTTON);
    ButtonCancel = create_button(w, "Cancel", IDCANCEL, 256, 218, 74, 25);
    m_tips.create(w);
}

ToolSettings TSettingForm::settings() const {
    using win32view::window_text;
    ToolSettings s;
    s.iniDir = window_text(EditIniDir);
    s.confName = window_text(EditConfName);
    s.confTemplate = window_text(EditConfTemplate);
    s.editor = window_text(EditEditor);
    s.userAgents = combo_items(ComboUA);
    s.userAgent = window_text(ComboUA);
    return s;
}

void TSettingForm::fill_user_agents(const ToolSettings& s, const std::string& text) {
    SendMessageA(ComboUA, CB_RESETCONTENT, 0, 0);
    for (const std::string& agent : s.userAgents)
        SendMessageA(ComboUA, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(agent.c_str()));
    win32view::set_window_text(ComboUA, text);
}

void TSettingForm::LoadSettings() {
    using win32view::set_window_text;
    const ToolSettings s = load_settings();
    set_window_text(EditIniDir, s.iniDir);
    set_window_text(EditConfName, s.confName);
    set_window_text(EditConfTemplate, s.confTemplate);
    fill_user_agents(s, s.userAgent);
}

void TSettingForm::SaveSettings() {
    ToolSettings s = settings();
    save_settings(s); // a failure is shown
    // The combo shows the list as it was written.
    fill_user_agents(s, s.userAgent);
}

bool TSettingForm::ShowSettings(const std::string& path) {
    use_settings_path(path);
    LoadSettings();
    const std::string editor = win32view::window_text(EditEditor);
    const bool ok = show_modal() == IDOK;
    if (ok) {
        SaveSettings();
    } else {
        LoadSettings();
        // Not stored: only the reload would lose it.
        win32view::set_window_text(EditEditor, editor);
    }
    return ok;
}

void TSettingForm::on_show() {
    FormShow();
    SetFocus(EditIniDir);
}

void TSettingForm::FormShow() {
    const RegistButton state = regist_state();
    win32view::set_window_text(ButtonRegist, state.caption);
    EnableWindow(ButtonRegist, state.enabled ? TRUE : FALSE);
    m_tips.set_over_area(ButtonRegist, state.reason);
}

void TSettingForm::ButtonRegistClick() {
    if (regist_change())
        FormShow();
}

bool TSettingForm::on_command(int id, int code, HWND /*control*/) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDOK:
        // The folder settings file's name is a name, never a path: the
        // dialog stays open until it is one.
        if (valid_conf_name(settings().confName))
            return false;
        m_ui.show_error(conf_name_message);
        return true;
    case id_get_ini_dir:
        ButtonGetIniDirClick();
        return true;
    case id_regist:
        ButtonRegistClick();
        return true;
    case id_get_conf_template:
        ButtonGetConfTmpltClick();
        return true;
    case id_set_editor:
        ButtonSetEditorClick();
        return true;
    case id_edit_template:
        ButtonEditClick();
        return true;
    default:
        return false;
    }
}

void TSettingForm::ButtonGetIniDirClick() {
    if (m_picker == nullptr)
        return;
    m_picker->selectFolder(win32view::window_text(EditIniDir));
    if (m_picker->show_modal() == IDOK && !m_picker->chosenPath().empty())
        win32view::set_window_text(EditIniDir, m_picker->chosenPath());
}

void TSettingForm::ButtonGetConfTmpltClick() {
    const std::string file =
        open_file_name(m_window, template_filter, win32view::window_text(EditConfTemplate));
    if (!file.empty())
        win32view::set_window_text(EditConfTemplate, file);
}

void TSettingForm::ButtonSetEditorClick() {
    const std::string file =
        open_file_name(m_window, editor_filter, win32view::window_text(EditEditor));
    if (!file.empty())
        win32view::set_window_text(EditEditor, file);
}

void TSettingForm::ButtonEditClick() {
    edit_template();
}
