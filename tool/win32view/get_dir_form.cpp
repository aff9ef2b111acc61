#include "tool/win32view/get_dir_form.h"

namespace {

constexpr int id_dir_tree = 101;
constexpr int client_width = 348;
constexpr int client_height = 290;
constexpr int button_width = 75;
constexpr int button_height = 25;

} // namespace

TGetDirForm::TGetDirForm(HWND owner) {
    create_window(owner, "Dirvane - フォルダ選択", client_width, client_height);
}

void TGetDirForm::create_controls() {
    // No automatic refresh: each branch shows the folders it had when it
    // was first opened.
    DirTree.create(m_window, id_dir_tree, false);
    ButtonOK = win32view::create_button(m_window, "OK", IDOK, 0, 0, button_width, button_height,
                                        BS_DEFPUSHBUTTON);
    ButtonCancel =
        win32view::create_button(m_window, "Cancel", IDCANCEL, 0, 0, button_width, button_height);
    on_size(client_width, client_height);
}

void TGetDirForm::on_size(int width, int height) {
    // The tree takes what the buttons below it leave.
    const int buttonsTop = height - button_height - 8;
    MoveWindow(DirTree.handle(), 8, 8, width - 16, buttonsTop - 16, TRUE);
    MoveWindow(ButtonOK, width - 2 * button_width - 16, buttonsTop, button_width, button_height,
               TRUE);
    MoveWindow(ButtonCancel, width - button_width - 8, buttonsTop, button_width, button_height,
               TRUE);
}

void TGetDirForm::selectFolder(const std::string& path) {
    DirTree.select_path(path);
}

std::string TGetDirForm::currentFolder() const {
    return DirTree.selected_path();
}

void TGetDirForm::on_show() {
    m_chosenPath.clear();
    SetFocus(DirTree.handle());
}

void TGetDirForm::on_close(int result) {
    m_chosenPath = result == IDOK ? currentFolder() : std::string();
}

LRESULT TGetDirForm::on_notify(NMHDR* header) {
    LRESULT result = 0;
    if (!DirTree.handle_notify(header, result))
        return 0;
    if (header->code == NM_DBLCLK && !DirTree.selected_path().empty())
        end_modal(IDOK); // DirTreeDblClick
    return result;
}
