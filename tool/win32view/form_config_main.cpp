#include "tool/win32view/form_config_main.h"

#include "tool/folder_switch.h"
#include "tool/tool_settings.h"
#include "tool/win32view/setting_form.h"

#include "platform/file.h"

#include <commctrl.h>

namespace {

constexpr const char* main_class = "DirvaneConfigMain";

enum ControlId {
    id_dir_tree = 101,
    id_file_list,
    id_edit_ini,
    id_test,
    id_setting,
    id_file_on,
    id_dv_on,
    id_dv_off,
    id_status,
    // "Edit" is the window's cancel button: Esc presses it.
    id_edit_conf = IDCANCEL,
};

constexpr int design_width = 552;
constexpr int design_height = 322;
constexpr int margin = 4;
constexpr int button_height = 25;
constexpr int tree_width = 180;

bool is_checked(HWND box) {
    return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

} // namespace

TFormConfigMain::TFormConfigMain(ToolUi& ui) : m_model(ui) {
    static const bool registered = win32view::register_window_class(
        main_class, &TFormConfigMain::window_proc, LoadIconA(nullptr, IDI_APPLICATION));
    if (!registered)
        return;
    CreateWindowExA(WS_EX_CONTROLPARENT, main_class, "Dirvane 設定ツール", WS_OVERLAPPEDWINDOW,
                    CW_USEDEFAULT, CW_USEDEFAULT, design_width, design_height, nullptr, nullptr,
                    GetModuleHandleA(nullptr), this);
    if (m_window == nullptr)
        return;
    create_controls();
    FormCreate();
}

TFormConfigMain::~TFormConfigMain() {
    if (m_window != nullptr) {
        SetWindowLongPtrA(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
}

void TFormConfigMain::create_controls() {
    using namespace win32view;
    HWND w = m_window;
    // Created in the tab order.
    DirTreeView.create(w, id_dir_tree, true);
    FileListView.create(w, id_file_list);
    ButtonEditIni = create_button(w, "共通設定編集", id_edit_ini, 0, 0, 84, button_height);
    ButtonTest = create_button(w, "表示テスト", id_test, 0, 0, 72, button_height);
    ButtonSetting = create_button(w, "Tool 設定", id_setting, 0, 0, 72, button_height);
    CheckFileOn = create_child(w, WC_BUTTONA, "ファイルを表示", WS_TABSTOP | BS_AUTOCHECKBOX,
                               id_file_on, 0, 0, 100, button_height);
    ButtonDvON = create_button(w, "IndexON", id_dv_on, 0, 0, 64, button_height);
    ButtonDvOFF = create_button(w, "IndexOFF", id_dv_off, 0, 0, 64, button_height);
    ButtonEditConf = create_button(w, "Edit", id_edit_conf, 0, 0, 56, button_height);
    StatusBar1 =
        CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                        w, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_status)),
                        GetModuleHandleA(nullptr), nullptr);
    SendMessageA(StatusBar1, WM_SETFONT, reinterpret_cast<WPARAM>(tool_font()), FALSE);
    // One part over the whole width: the one text of the status line.
    int wholeWidth = -1;
    SendMessageA(StatusBar1, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&wholeWidth));

    m_tips.create(w);
    m_tips.add(ButtonEditIni, "共通設定ファイルを編集します。");
    m_tips.add(ButtonTest, "仮のURLでリストを作成して表示します。");
    m_tips.add(ButtonSetting, "本ツールの設定を行います。");
    m_tips.add(CheckFileOn, "チェックが入っていない場合は、フォルダのみを表示。");
    m_tips.add(ButtonDvON, "選択したフォルダのインデックスリスト表示を開始します。");
    m_tips.add(ButtonDvOFF, "選択したフォルダのインデックスリスト表示を停止します。");
    m_tips.add(ButtonEditConf, "選択したフォルダの表示設定ファイルを編集します。");

    RECT client{};
    GetClientRect(w, &client);
    layout(client.right, client.bottom);
}

void TFormConfigMain::layout(int width, int height) {
    if (StatusBar1 == nullptr)
        return;
    SendMessageA(StatusBar1, WM_SIZE, 0, 0);
    RECT status{};
    GetWindowRect(StatusBar1, &status);
    const int buttonsTop = height - (status.bottom - status.top) - button_height - margin;
    const int viewsHeight = buttonsTop - 2 * margin;
    MoveWindow(DirTreeView.handle(), margin, margin, tree_width, viewsHeight, TRUE);
    const int listLeft = 2 * margin + tree_width;
    MoveWindow(FileListView.handle(), listLeft, margin, width - listLeft - margin, viewsHeight,
               TRUE);
    // The left group from the left edge, the right group from the right.
    int x = margin;
    for (HWND button : {ButtonEditIni, ButtonTest, ButtonSetting}) {
        RECT r{};
        GetWindowRect(button, &r);
        MoveWindow(button, x, buttonsTop, r.right - r.left, button_height, TRUE);
        x += r.right - r.left + margin;
    }
    x = width - margin;
    for (HWND control : {ButtonEditConf, ButtonDvOFF, ButtonDvON, CheckFileOn}) {
        RECT r{};
        GetWindowRect(control, &r);
        x -= r.right - r.left;
        MoveWindow(control, x, buttonsTop, r.right - r.left, button_height, TRUE);
        x -= margin;
    }
}

void TFormConfigMain::FormCreate() {
    // Centred on the desktop; never smaller than it starts.
    RECT frame{};
    GetWindowRect(m_window, &frame);
    m_minimum = {frame.right - frame.left, frame.bottom - frame.top};
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    SetWindowPos(m_window, nullptr, area.left + (area.right - area.left - m_minimum.cx) / 2,
                 area.top + (area.bottom - area.top - m_minimum.cy) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    LoadToolSettings();
    selectTreeFolder(m_model.tool_folder());
}

void TFormConfigMain::setSettingForm(TSettingForm* form) {
    m_model.set_setting_form(form);
    updateStatusLine();
}

void TFormConfigMain::LoadToolSettings() {
    SendMessageA(CheckFileOn, BM_SETCHECK, m_model.load_show_files() ? BST_CHECKED : BST_UNCHECKED,
                 0);
    CheckFileOnClick();
}

void TFormConfigMain::SaveToolSettings() {
    m_model.save_show_files(is_checked(CheckFileOn));
}

void TFormConfigMain::FormClose() {
    SaveToolSettings();
}

void TFormConfigMain::CheckFileOnClick() {
    FileListView.show(FileListView.folder(), is_checked(CheckFileOn));
}

std::string TFormConfigMain::treeFolder() const {
    return m_picked;
}

std::vector<std::string> TFormConfigMain::selectedListItems() const {
    return FileListView.selected_paths();
}

void TFormConfigMain::selectTreeFolder(const std::string& path) {
    m_selecting = true;
    DirTreeView.select_path(path);
    m_selecting = false;
    DirTreeViewChange();
}

void TFormConfigMain::DirTreeViewChange() {
    m_picked = DirTreeView.selected_path();
    // The list shows the tree's folder and follows it.
    const std::string folder = treeFolder();
    if (folder != FileListView.folder())
        FileListView.show(folder, is_checked(CheckFileOn));
    updateStatusLine();
}

std::string TFormConfigMain::statusText() const {
    // The length may count characters (Wine does) while the text comes in
    // code page 932, up to two bytes a character.
    const auto length = LOWORD(SendMessageA(StatusBar1, SB_GETTEXTLENGTHA, 0, 0));
    std::string text(2 * static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(StatusBar1, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text.data()));
    text.resize(text.find('\0'));
    return text;
}

void TFormConfigMain::updateStatusLine() {
    const std::string line = m_model.status(treeFolder());
    SendMessageA(StatusBar1, SB_SETTEXTA, SBT_NOBORDERS, reinterpret_cast<LPARAM>(line.c_str()));
}

void TFormConfigMain::ButtonDvONClick() {
    m_model.index_on(selectedListItems(), treeFolder());
    FileListView.refresh();
    updateStatusLine();
}

void TFormConfigMain::ButtonDvOFFClick() {
    m_model.index_off(selectedListItems(), treeFolder());
    FileListView.refresh();
    updateStatusLine();
}

void TFormConfigMain::ButtonEditConfClick() {
    m_model.edit_conf(selectedListItems(), treeFolder());
}

void TFormConfigMain::ButtonEditIniClick() {
    m_model.edit_ini();
}

void TFormConfigMain::ButtonSettingClick() {
    m_model.show_settings();
}

void TFormConfigMain::ButtonTestClick() {
    m_model.display_test(selectedListItems(), treeFolder());
}

bool TFormConfigMain::command(int id, int code) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case id_edit_ini:
        ButtonEditIniClick();
        return true;
    case id_test:
        ButtonTestClick();
        return true;
    case id_setting:
        ButtonSettingClick();
        return true;
    case id_file_on:
        CheckFileOnClick();
        return true;
    case id_dv_on:
        ButtonDvONClick();
        return true;
    case id_dv_off:
        ButtonDvOFFClick();
        return true;
    case id_edit_conf:
        ButtonEditConfClick();
        return true;
    default:
        return false;
    }
}

LRESULT TFormConfigMain::notify(const NMHDR* header) {
    LRESULT result = 0;
    if (DirTreeView.handle_notify(header, result)) {
        if (header->code == TVN_SELCHANGEDA &&
            (m_selecting || reinterpret_cast<const NMTREEVIEWA*>(header)->action != TVC_UNKNOWN))
            DirTreeViewChange();
        else if (header->code == NM_CLICK)
            updateStatusLine(); // DirTreeViewClick
        return result;
    }
    std::string opened;
    std::string failure;
    if (FileListView.handle_notify(header, result, opened, failure)) {
        // A folder opened in the list becomes the tree's folder.
        if (!opened.empty())
            selectTreeFolder(opened);
        if (!failure.empty())
            m_model.show_error(failure);
        return result;
    }
    return 0;
}

LRESULT CALLBACK TFormConfigMain::window_proc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<TFormConfigMain*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_window = window;
    }
    auto* self = reinterpret_cast<TFormConfigMain*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT TFormConfigMain::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (command(LOWORD(wParam), HIWORD(wParam)))
            return 0;
        break;
    case WM_NOTIFY:
        return notify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_SIZE:
        layout(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_GETMINMAXINFO: {
        // FormCanResize: never below the size the window started with.
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        if (m_minimum.cx > 0) {
            limits->ptMinTrackSize.x = m_minimum.cx;
            limits->ptMinTrackSize.y = m_minimum.cy;
        }
        return 0;
    }
    case WM_CLOSE:
        FormClose();
        DestroyWindow(m_window);
        return 0;
    case WM_DESTROY:
        m_window = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(m_window, message, wParam, lParam);
}
