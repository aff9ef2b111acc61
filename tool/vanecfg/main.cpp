// Vanecfg: the administrator's window program for Dirvane. It keeps
// Vanecfg.ini and the display test's pages in the user's own settings
// folder ($XDG_CONFIG_HOME/dirvane), never beside the program, which may lie
// in a folder that a web server serves.
#include "tool/vanecfg/form_config_main.h"
#include "tool/vanecfg/qt_tool_ui.h"
#include "tool/vanecfg/vanecfg_app.h"

#include "platform/file.h"
#include "platform/registry.h"

#include <QApplication>

#include <cstring>
#include <iostream>
#include <string>
#include <string_view>

namespace {

constexpr const char* usage = "Usage: Vanecfg [--help | --version]\n"
                              "The administrator's window program for Dirvane: switches the\n"
                              "listing of web folders on and off, runs the display test and\n"
                              "registers Dirvane with the web server.\n"
                              "Settings and test pages: $XDG_CONFIG_HOME/dirvane "
                              "(~/.config/dirvane)\n";

// answer_on_terminal answers --help and --version, which need no display;
// returns the exit code, or -1 when the windows are to be shown.
int answer_on_terminal(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << usage;
            return 0;
        }
        if (arg == "--version") {
            std::cout << "Vanecfg (Dirvane) " << DIRVANE_VERSION << "\n";
            return 0;
        }
    }
    return -1;
}

// enter_settings_folder makes the user's settings folder, created when
// missing, the working directory: the tool folder of the windows.
bool enter_settings_folder() {
    const std::string folder = platform::user_settings_folder();
    if (folder.empty()) {
        std::cerr << "Vanecfg: no settings folder (set XDG_CONFIG_HOME or HOME)\n";
        return false;
    }
    platform::Outcome<void> entered = platform::create_directories(folder);
    if (entered) {
        entered = platform::set_current_directory(folder);
    }
    if (!entered) {
        std::cerr << "Vanecfg: cannot use the settings folder " << folder << ": "
                  << entered.failure().reason << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (const int code = answer_on_terminal(argc, argv); code >= 0)
        return code;
    if (!enter_settings_folder())
        return 1;
    QApplication app(argc, argv);
    set_up_application(app);
    QtToolUi ui;
    VanecfgWindows windows = create_windows(ui, platform::registry_default_path());
    ui.set_parent(windows.main.get());
    windows.main->show();
    return app.exec();
}
