#include "tool/win32view/vanecfg_app.h"

#include <commctrl.h>
#include <objbase.h>

void set_up_application() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES |
                     ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);
    // The shell's display names and icons, and the file dialogs, want COM.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}

VanecfgWindows create_windows(ToolUi& ui, const std::string& registryPath) {
    VanecfgWindows windows;
    windows.main = std::make_unique<TFormConfigMain>(ui);
    windows.settings = std::make_unique<TSettingForm>(ui, windows.main->handle(), registryPath);
    // Shown from the settings dialog, which it keeps disabled meanwhile.
    windows.picker = std::make_unique<TGetDirForm>(windows.settings->handle());
    windows.settings->setFolderPicker(windows.picker.get());
    windows.main->setSettingForm(windows.settings.get());
    return windows;
}

int run_message_loop(HWND main) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!win32view::is_dialog_message(main, message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 0;
}
