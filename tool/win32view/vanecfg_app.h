// Program start of Vanecfg on Windows: the three windows, created in their
// order, and the message loop that runs until the main window closes.
#pragma once

#include "tool/win32view/form_config_main.h"
#include "tool/win32view/get_dir_form.h"
#include "tool/win32view/setting_form.h"

#include <memory>
#include <string>

class ToolUi;

struct VanecfgWindows {
    std::unique_ptr<TFormConfigMain> main;
    std::unique_ptr<TSettingForm> settings;
    std::unique_ptr<TGetDirForm> picker;
};

// set_up_application loads the common controls.
void set_up_application();

// create_windows creates the main window (which creates the default
// "Vanecfg.ini" when there is none), the tool settings dialog and the folder
// picker, in this order, all hidden; `registryPath` names the web server's
// registry values.
VanecfgWindows create_windows(ToolUi& ui, const std::string& registryPath);

// run_message_loop delivers messages until the main window `main` is
// closed; returns the exit code.
int run_message_loop(HWND main);
