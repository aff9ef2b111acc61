// Child processes: finding a program, starting it, waiting for it, and
// passing the stop signals (Ctrl-C, a terminate request) on to it.
#pragma once

#include "platform/failure.h"

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// ProcessId names a started child process; no_process stands for none.
using ProcessId = int;
inline constexpr ProcessId no_process = -1;

// find_program returns the absolute path of the executable file `name`,
// looked for in each folder of PATH and then in `extraFolders`; "" when
// there is none. A name holding a "/" is only checked itself.
std::string find_program(std::string_view name, const std::vector<std::string>& extraFolders);

// current_program_path returns the absolute path of this process's program
// file; "" when the system does not tell.
std::string current_program_path();

// start_process starts the program at path `argv[0]` with the arguments
// `argv`, the standard streams and the environment of this process, the
// entries "NAME=value" of `extraEnv` added (replacing the same names). The
// child is told to stop when this process dies. Fails, with the reason,
// when the program cannot be started.
Outcome<ProcessId> start_process(const std::vector<std::string>& argv,
                                 const std::vector<std::string>& extraEnv);

// start_process_in starts the program as start_process does, with the
// working directory `workingDir` for the child ("" keeps this process's).
// A working directory that cannot be entered counts as a start failure.
Outcome<ProcessId> start_process_in(const std::vector<std::string>& argv,
                                    std::string_view workingDir,
                                    const std::vector<std::string>& extraEnv);

// ProcessEnd says how a program that run_process_in started ended.
struct ProcessEnd {
    bool timedOut = false; // it was still running at the time limit and has been stopped
    int exitCode = -1;     // its exit code, when it ended by itself
};

// run_process_in starts the program as start_process_in does (no shell is
// involved: every argument and environment value arrives as it is) and
// waits at most `timeoutMs` milliseconds for it to end. Its standard input
// and output are the null device, so nothing it prints reaches this
// process's output; its standard error is this process's. A child still
// running then gets the terminate signal, a second later the kill signal,
// and is waited for, so that it never outlives the call. Fails, with the
// reason, when the program cannot be started.
Outcome<ProcessEnd> run_process_in(const std::vector<std::string>& argv,
                                   std::string_view workingDir,
                                   const std::vector<std::string>& extraEnv, int timeoutMs);

// executable_suffix is what the name of a program file ends with ("" here,
// ".exe" on Windows).
std::string_view executable_suffix();

// wait_process waits until the child ends and returns its exit code, or 128
// plus the signal's number when a signal ended it; -1 when there is no such
// child. A stop signal that arrives meanwhile is passed on (see below) and
// the wait goes on.
int wait_process(ProcessId child);

// process_ended tells, without waiting, whether the child has ended; its
// exit code (as wait_process gives it) goes to `code`. A child seen ended
// here is gone: do not wait for it again.
bool process_ended(ProcessId child, int& code);

// watch_stop_signals makes the interrupt, terminate and hang-up signals no
// longer end this process: from now on they are recorded and passed on to
// the child named by forward_stop_signals.
void watch_stop_signals();

// forward_stop_signals names the child that receives the stop signals; one
// that arrived before is passed on at once.
void forward_stop_signals(ProcessId child);

// stop_signal_received returns the number of the last stop signal that
// arrived since watch_stop_signals, 0 for none.
int stop_signal_received();

// stop_process sends the child the terminate signal.
void stop_process(ProcessId child);

} // namespace platform
