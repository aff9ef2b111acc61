// TGetDirForm: the modal folder picker of the tool settings dialog. A
// double click on a folder takes it at once.
#pragma once

#include "tool/win32view/shell_views.h"
#include "tool/win32view/win32_controls.h"

#include <string>

class TGetDirForm : public win32view::ModalDialog {
  public:
    explicit TGetDirForm(HWND owner);

    // selectFolder selects `path` in the tree before the dialog is shown.
    void selectFolder(const std::string& path);

    // The folder selected in the tree now.
    std::string currentFolder() const;

    // The folder confirmed with OK or a double click; "" until then, and
    // after Cancel.
    const std::string& chosenPath() const { return m_chosenPath; }

    win32view::ShellTree DirTree;
    HWND ButtonOK = nullptr;
    HWND ButtonCancel = nullptr;

  private:
    void create_controls() override;
    void on_show() override;
    void on_close(int result) override;
    LRESULT on_notify(NMHDR* header) override;
    void on_size(int width, int height) override;

    std::string m_chosenPath;
};
