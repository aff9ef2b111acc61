// The three windows of Vanecfg, created in their order and kept for the
// whole run: the main window, the tool settings dialog, the folder picker.
#pragma once

#include <memory>
#include <string>

class QApplication;
class TFormConfigMain;
class TGetDirForm;
class TSettingForm;
class ToolUi;

struct VanecfgWindows {
    std::unique_ptr<TFormConfigMain> main;
    TSettingForm* settings = nullptr; // owned by the main window
    TGetDirForm* picker = nullptr;    // owned by the main window
};

// tool_font_families lists the Japanese gothic fonts the windows ask for,
// best first.
extern const char* const tool_font_families[];

// set_up_application gives the application its title and font.
void set_up_application(QApplication& app);

// create_windows creates the windows in the working directory (the tool
// folder); `ui` shows their messages, `registryPath` holds the web
// server's registry values.
VanecfgWindows create_windows(ToolUi& ui, const std::string& registryPath);
