// Win32 only: the environment block through GetEnvironmentStringsA, process
// and thread ids, and an immediate end through TerminateProcess.
#include "platform/process.h"

#include <windows.h>

#include <cstring>

namespace platform {

std::string environment_block() {
    std::string entries;
    char* block = GetEnvironmentStringsA();
    if (block == nullptr) {
        return entries;
    }
    for (const char* e = block; *e != '\0'; e += std::strlen(e) + 1) {
        // Entries such as "=C:=C:\www" keep the working folder of each drive
        // for the command interpreter; they name no variable.
        if (*e != '=') {
            entries.append(e, std::strlen(e) + 1);
        }
    }
    FreeEnvironmentStringsA(block);
    return entries;
}

std::uint32_t current_process_id() {
    return static_cast<std::uint32_t>(GetCurrentProcessId());
}

std::uint32_t current_thread_id() {
    return static_cast<std::uint32_t>(GetCurrentThreadId());
}

void keep_running_on_failed_writes() {
    // A write to a pipe whose reader has gone, or to a full disk, fails with
    // an error code on Windows; nothing ends the process. Only the system's
    // error boxes are switched off, which would wait for a click nobody on a
    // web server gives.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

void keep_freed_memory() {
    // The process heap keeps freed blocks for reuse already.
}

void exit_process_now(int code) {
    // ExitProcess would run the library's detach code while another thread
    // may hold its locks; the time-out must end the process whatever the
    // other threads do.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    for (;;) {
        Sleep(INFINITE);
    }
}

bool end_process_after(std::uint32_t, int) {
    // Every Windows timer calls back on a thread of its own: the caller's
    // watchdog thread does the same job.
    return false;
}

void cancel_process_end() {
    // Nothing is ever armed (see end_process_after).
}

} // namespace platform
