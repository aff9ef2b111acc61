// The three windows of Vanecfg, created in their order and kept for the
// whole run: the main window, the tool settings dialog, the folder picker.
#pragma once

#include <memory>
#include <string>

class QApplication;
class QLocale;
class QTranslator;
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

// load_qt_translations loads the toolkit's own Japanese texts (those of
// its file dialogs and standard buttons) into `translator` when `locale`
// asks for Japanese; false when it does not or they are not installed.
bool load_qt_translations(QTranslator& translator, const QLocale& locale);

// set_up_application gives the application its title and font, and the
// toolkit's own texts in Japanese under a Japanese locale.
void set_up_application(QApplication& app);

// create_windows creates the windows in the working directory (the tool
// folder); `ui` shows their messages, `registryPath` holds the web
// server's registry values.
VanecfgWindows create_windows(ToolUi& ui, const std::string& registryPath);
