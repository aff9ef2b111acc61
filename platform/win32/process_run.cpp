// Win32 only: programs are started with CreateProcessA and waited for on
// their process handles. Windows has no signals: the stop "signals" are the
// console's control events, and stopping a child ends it at once.
//
// A ProcessId is the child's Windows process id. The handles that belong to
// it stay in a table of this file until the child has been seen ended
// (wait_process, process_ended), so that the id cannot name another process
// meanwhile.
//
// Each child runs in a job object of its own that ends every process in it
// when its last handle closes (JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE). Only
// this process holds that handle, so the child and everything it started
// end when this process dies, however it dies; a time limit ends the whole
// job. The job handle is closed once the child has been seen ended, which
// also ends what the child left running. Where jobs cannot nest (Windows 7
// when this process is already in a job) the child runs without one.
//
// Stopping (stop_process, a time limit, a forwarded control event) ends the
// child with TerminateProcess and the exit code 128 + 15, the code a
// terminate signal leaves elsewhere: a console program that is not attached
// to this console, or runs in a group of its own, cannot be asked to stop
// politely, and a child on this console gets Ctrl-C and Ctrl-Break from the
// console itself anyway.
#include "platform/process_run.h"

#include "platform/common/ascii.h"
#include "platform/win32/command_line.h"

#include "platform/win32/wide_text.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>

namespace platform {

namespace {

constexpr int terminate_signal = 15;
constexpr int interrupt_signal = 2;
constexpr int hang_up_signal = 1;
constexpr UINT stopped_exit_code = 128 + terminate_signal;

struct Child {
    HANDLE process = nullptr;
    HANDLE job = nullptr; // nullptr when the child runs in no job of ours
};

std::mutex childrenMutex;
std::map<ProcessId, Child>& children() {
    static std::map<ProcessId, Child> table;
    return table;
}

std::atomic<int> forwardTo{no_process};
std::atomic<int> lastStopSignal{0};

bool find_child(ProcessId id, Child& child) {
    const std::lock_guard<std::mutex> lock(childrenMutex);
    const auto it = children().find(id);
    if (it == children().end()) {
        return false;
    }
    child = it->second;
    return true;
}

// forget_child closes the handles of a child seen ended.
void forget_child(ProcessId id) {
    Child child;
    {
        const std::lock_guard<std::mutex> lock(childrenMutex);
        const auto it = children().find(id);
        if (it == children().end()) {
            return;
        }
        child = it->second;
        children().erase(it);
    }
    if (child.job != nullptr) {
        CloseHandle(child.job);
    }
    CloseHandle(child.process);
}

// terminate ends the child and, with its job, everything it started.
void terminate(const Child& child) {
    TerminateProcess(child.process, stopped_exit_code);
    if (child.job != nullptr) {
        TerminateJobObject(child.job, stopped_exit_code);
    }
}

// exit_code_of returns the ended child's exit code; -1 when it cannot be read.
int exit_code_of(HANDLE process) {
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code)) {
        return -1;
    }
    return static_cast<int>(code);
}

BOOL WINAPI on_control_event(DWORD event) {
    int number = 0;
    switch (event) {
    case CTRL_C_EVENT:
        number = interrupt_signal;
        break;
    case CTRL_BREAK_EVENT:
        number = terminate_signal;
        break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        number = hang_up_signal;
        break;
    default:
        return FALSE;
    }
    lastStopSignal = number;
    stop_process(forwardTo.load());
    return TRUE;
}

// name_of returns the NAME of a "NAME=value" entry; the entries that keep
// each drive's working directory ("=C:=C:\x") have a name starting with "=".
std::string_view name_of(std::string_view entry) {
    return entry.substr(0, entry.find('=', 1));
}

// environment_block returns this process's environment with the entries of
// `extraEnv` replacing those of the same names, as CreateProcessA takes it:
// "NAME=value" entries each ended by a NUL, and one more NUL.
std::string environment_block(const std::vector<std::string>& extraEnv) {
    std::string block;
    if (char* current = GetEnvironmentStringsA()) {
        for (const char* entry = current; *entry != '\0';) {
            const std::string_view text(entry);
            bool replaced = false;
            for (const std::string& extra : extraEnv) {
                replaced = replaced || ascii::equal_no_case(name_of(extra), name_of(text));
            }
            if (!replaced) {
                block.append(text).push_back('\0');
            }
            entry += text.size() + 1;
        }
        FreeEnvironmentStringsA(current);
    }
    for (const std::string& extra : extraEnv) {
        block.append(extra).push_back('\0');
    }
    if (block.empty()) {
        block.push_back('\0'); // an empty block still ends with two NULs
    }
    block.push_back('\0');
    return block;
}

// kill_on_close_job returns a new job that ends its processes when its
// last handle closes; nullptr when none can be made.
HANDLE kill_on_close_job() {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job == nullptr) {
        return nullptr;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

// inheritable_standard_handle returns the standard handle `which`, marked
// so that a child can inherit it (a handle the system keeps for the console
// may refuse the mark and is passed on by the console anyway).
HANDLE inheritable_standard_handle(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
        SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    return handle;
}

bool is_file(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool ends_with_exe(std::string_view name) {
    return name.size() >= 4 && ascii::equal_no_case(name.substr(name.size() - 4), ".exe");
}

// absolute_folder tells whether a PATH entry names a folder from the root
// ("C:\x", "\\server\share"); relative entries are skipped, as they would
// depend on the working directory.
bool absolute_folder(std::string_view folder) {
    if (folder.size() >= 3 && folder[1] == ':' && (folder[2] == '\\' || folder[2] == '/')) {
        return true;
    }
    return folder.size() >= 2 && (folder[0] == '\\' || folder[0] == '/') &&
           (folder[1] == '\\' || folder[1] == '/');
}

// program_file returns the file for `name`: `name` itself, else with
// ".exe" added; "" when neither is a file.
std::string program_file(const std::string& name) {
    if (is_file(name)) {
        return name;
    }
    if (!ends_with_exe(name) && is_file(name + ".exe")) {
        return name + ".exe";
    }
    return std::string();
}

std::string full_path(const std::string& path) {
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()),
                                              buffer.data(), nullptr);
        if (length == 0) {
            return path;
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.assign(length + 1, '\0');
    }
}

} // namespace

std::string find_program(std::string_view name, const std::vector<std::string>& extraFolders) {
    if (name.empty() || name.find('\0') != std::string_view::npos) {
        return std::string();
    }
    if (name.find_first_of("/\\:") != std::string_view::npos) {
        const std::string file = program_file(std::string(name));
        return file.empty() ? file : full_path(file);
    }
    std::vector<std::string> folders;
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest(path);
        while (!rest.empty()) {
            const std::size_t semicolon = rest.find(';');
            std::string_view folder = rest.substr(0, semicolon);
            if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
                folder = folder.substr(1, folder.size() - 2);
            }
            if (absolute_folder(folder)) {
                folders.emplace_back(folder);
            }
            rest = semicolon == std::string_view::npos ? std::string_view()
                                                       : rest.substr(semicolon + 1);
        }
    }
    folders.insert(folders.end(), extraFolders.begin(), extraFolders.end());
    for (const std::string& folder : folders) {
        if (folder.empty()) {
            continue;
        }
        std::string candidate = folder;
        if (candidate.back() != '\\' && candidate.back() != '/') {
            candidate += '\\';
        }
        candidate += name;
        const std::string file = program_file(candidate);
        if (!file.empty()) {
            return full_path(file);
        }
    }
    return std::string();
}

std::string current_program_path() {
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD got =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (got == 0) {
            return std::string();
        }
        if (got < buffer.size()) {
            buffer.resize(got);
            return buffer;
        }
        buffer.resize(buffer.size() * 2); // cut: try a larger buffer
    }
}

Outcome<ProcessId> start_process(const std::vector<std::string>& argv,
                                 const std::vector<std::string>& extraEnv) {
    return start_process_in(argv, std::string_view(), extraEnv);
}

namespace {

// start_child is start_process_in; with `quiet` the child's standard input
// and output are the null device instead of this process's.
Outcome<ProcessId> start_child(const std::vector<std::string>& argv, std::string_view workingDir,
                               const std::vector<std::string>& extraEnv, bool quiet) {
    if (workingDir.find('\0') != std::string_view::npos) {
        return Failure{"", "", "working directory with a NUL byte"};
    }
    std::string commandLine;
    if (!win32::build_command_line(argv, commandLine)) {
        return argv.empty() || argv[0].empty()
                   ? Failure{"", "", "no program to start"}
                   : Failure{"cannot start", argv[0], "an argument cannot be passed"};
    }
    for (const std::string& extra : extraEnv) {
        if (extra.find('\0') != std::string::npos || extra.find('=', 1) == std::string::npos) {
            return Failure{"cannot start", argv[0], "bad environment entry"};
        }
    }
    std::string environment = environment_block(extraEnv);
    const std::string folder(workingDir);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    HANDLE nullDevice = INVALID_HANDLE_VALUE;
    if (quiet) {
        SECURITY_ATTRIBUTES inherit{};
        inherit.nLength = sizeof inherit;
        inherit.bInheritHandle = TRUE;
        nullDevice =
            CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        &inherit, OPEN_EXISTING, 0, nullptr);
        if (nullDevice == INVALID_HANDLE_VALUE) {
            return Failure{"cannot start", argv[0], win32::error_text(GetLastError())};
        }
    }
    startup.hStdInput = quiet ? nullDevice : inheritable_standard_handle(STD_INPUT_HANDLE);
    startup.hStdOutput = quiet ? nullDevice : inheritable_standard_handle(STD_OUTPUT_HANDLE);
    startup.hStdError = inheritable_standard_handle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    // The child starts suspended so that it is in its job before it runs.
    const BOOL created = CreateProcessA(
        argv[0].c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
        environment.data(), folder.empty() ? nullptr : folder.c_str(), &startup, &started);
    const DWORD createError = GetLastError();
    if (nullDevice != INVALID_HANDLE_VALUE) {
        CloseHandle(nullDevice); // the child has its own copy
    }
    if (!created) {
        return Failure{"cannot start", argv[0], win32::error_text(createError)};
    }
    HANDLE job = kill_on_close_job();
    if (job != nullptr && !AssignProcessToJobObject(job, started.hProcess)) {
        CloseHandle(job);
        job = nullptr;
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    const auto id = static_cast<ProcessId>(started.dwProcessId);
    {
        const std::lock_guard<std::mutex> lock(childrenMutex);
        children()[id] = Child{started.hProcess, job};
    }
    return id;
}

} // namespace

Outcome<ProcessId> start_process_in(const std::vector<std::string>& argv,
                                    std::string_view workingDir,
                                    const std::vector<std::string>& extraEnv) {
    return start_child(argv, workingDir, extraEnv, false);
}

Outcome<ProcessEnd> run_process_in(const std::vector<std::string>& argv,
                                   std::string_view workingDir,
                                   const std::vector<std::string>& extraEnv, int timeoutMs) {
    const Outcome<ProcessId> started = start_child(argv, workingDir, extraEnv, true);
    if (!started) {
        return started.failure();
    }
    const ProcessId id = started.value();
    ProcessEnd end;
    Child child;
    find_child(id, child);
    const DWORD limit = timeoutMs < 0 ? 0 : static_cast<DWORD>(timeoutMs);
    if (WaitForSingleObject(child.process, limit) == WAIT_OBJECT_0) {
        end.exitCode = exit_code_of(child.process);
        forget_child(id);
        return end;
    }
    // Windows has no terminate signal to try first: the child and what it
    // started end at once, and the call waits until they have.
    terminate(child);
    WaitForSingleObject(child.process, INFINITE);
    forget_child(id);
    end.timedOut = true;
    return end;
}

std::string_view executable_suffix() {
    return ".exe";
}

int wait_process(ProcessId child) {
    Child found;
    if (child == no_process || !find_child(child, found)) {
        return -1;
    }
    // No signal interrupts the wait: a control event runs its handler on a
    // thread of its own, which ends the forwarded child and so this wait.
    if (WaitForSingleObject(found.process, INFINITE) != WAIT_OBJECT_0) {
        return -1;
    }
    const int code = exit_code_of(found.process);
    forget_child(child);
    return code;
}

bool process_ended(ProcessId child, int& code) {
    Child found;
    if (child == no_process || !find_child(child, found)) {
        code = -1;
        return true;
    }
    const DWORD state = WaitForSingleObject(found.process, 0);
    if (state == WAIT_TIMEOUT) {
        return false;
    }
    code = state == WAIT_OBJECT_0 ? exit_code_of(found.process) : -1;
    forget_child(child);
    return true;
}

void watch_stop_signals() {
    SetConsoleCtrlHandler(on_control_event, TRUE);
}

void forward_stop_signals(ProcessId child) {
    forwardTo = child;
    if (child != no_process && lastStopSignal != 0) {
        stop_process(child);
    }
}

int stop_signal_received() {
    return lastStopSignal;
}

void stop_process(ProcessId child) {
    // Under the lock, so that the handles cannot be closed meanwhile (a
    // control event calls this on a thread of its own).
    const std::lock_guard<std::mutex> lock(childrenMutex);
    const auto it = children().find(child);
    if (it != children().end()) {
        terminate(it->second);
    }
}

} // namespace platform
