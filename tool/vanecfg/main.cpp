// Vanecfg: the administrator's window program for Dirvane. It runs in its
// own folder, where it keeps Vanecfg.ini and the display test's pages.
#include "tool/vanecfg/form_config_main.h"
#include "tool/vanecfg/qt_tool_ui.h"
#include "tool/vanecfg/vanecfg_app.h"

#include "platform/file.h"
#include "platform/process_run.h"
#include "platform/registry.h"

#include <QApplication>

#include <string>

namespace {

// enter_tool_folder makes the program's own folder the working directory,
// also when it was started from elsewhere.
void enter_tool_folder(const char* argv0) {
    std::string program = platform::current_program_path();
    if (program.empty() && argv0 != nullptr)
        program = argv0;
    const std::size_t slash = program.find_last_of('/');
    if (slash != std::string::npos)
        platform::set_current_directory(program.substr(0, slash + 1));
}

} // namespace

int main(int argc, char** argv) {
    enter_tool_folder(argc > 0 ? argv[0] : nullptr);
    QApplication app(argc, argv);
    set_up_application(app);
    QtToolUi ui;
    VanecfgWindows windows = create_windows(ui, platform::registry_default_path());
    ui.set_parent(windows.main.get());
    windows.main->show();
    return app.exec();
}
