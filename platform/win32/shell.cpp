// Win32 only: files are opened with the shell's "open" verb (ShellExecuteA)
// and programs started with CreateProcessA; no command interpreter is
// involved in either.
#include "platform/shell.h"

#include "platform/process_run.h"
#include "platform/win32/command_line.h"

#include <windows.h>

#include <shellapi.h>

namespace platform {

namespace {

bool is_file(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// program_path returns the file to start for `name`: a name with a folder
// as it is, a plain name from the working directory when a file of that
// name (or with ".exe" added) lies there, as the Windows shell looks there
// first, else from PATH (CreateProcessA itself searches nowhere when it is
// given the program's file).
std::string program_path(const std::string& name) {
    if (name.find_first_of("/\\:") != std::string::npos) {
        return name;
    }
    for (const std::string& candidate : {name, name + ".exe"}) {
        if (is_file(candidate)) {
            return candidate;
        }
    }
    return find_program(name, {});
}

} // namespace

bool start_detached(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) {
        return false;
    }
    std::vector<std::string> args = argv;
    args[0] = program_path(argv[0]);
    std::string commandLine;
    if (args[0].empty() || !win32::build_command_line(args, commandLine)) {
        return false;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // A group of its own, so that Ctrl-C on this console spares it; no
    // handle of this process is inherited.
    if (!CreateProcessA(args[0].c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &started)) {
        return false;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

bool open_with_default_program(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return false;
    }
    // Values above 32 tell success; the handle itself means nothing.
    const HINSTANCE result =
        ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

} // namespace platform
