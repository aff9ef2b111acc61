// Vanecfg: the administrator's window program for Dirvane. It runs in its
// own folder, where it keeps Vanecfg.ini and the display test's pages.
#include "tool/win32view/vanecfg_app.h"
#include "tool/win32view/win32_tool_ui.h"

#include "platform/file.h"
#include "platform/process_run.h"
#include "platform/registry.h"

#include <string>

namespace {

// enter_tool_folder makes the program's own folder the working directory,
// also when it was started from a shortcut that names another one.
void enter_tool_folder(const char* argv0) {
    std::string program = platform::current_program_path();
    if (program.empty() && argv0 != nullptr)
        program = argv0;
    // The last "\" that is not the trail byte of a double-byte character.
    std::size_t slash = std::string::npos;
    for (std::size_t i = 0; i < program.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(program[i])))
            ++i;
        else if (program[i] == '\\')
            slash = i;
    }
    if (slash != std::string::npos)
        (void)platform::set_current_directory(program.substr(0, slash + 1));
}

} // namespace

int main(int argc, char** argv) {
    enter_tool_folder(argc > 0 ? argv[0] : nullptr);
    set_up_application();
    Win32ToolUi ui;
    VanecfgWindows windows = create_windows(ui, platform::registry_default_path());
    if (windows.main->handle() == nullptr)
        return 1;
    ui.set_owner(windows.main->handle());
    ShowWindow(windows.main->handle(), SW_SHOWNORMAL);
    UpdateWindow(windows.main->handle());
    return run_message_loop(windows.main->handle());
}
