// Dirvane: lists its working directory as one CGI response.
//
//   Dirvane <folder settings file> [<output file>]
//   Dirvane                (standard input a listening socket: FastCGI)
//   Dirvane --help | --version
//
// Exit codes: 0 a response was written, 1 no folder settings file was given,
// 2 the request ran longer than its time-out, 3 a FastCGI server started as
// root with no account to run as instead.
#include "cgi/corvane.h"
#include "cgi/entry_sort.h"
#include "cgi/fastcgi_server.h"
#include "cgi/ini_file.h"
#include "cgi/path.h"
#include "platform/clock.h"
#include "platform/fastcgi.h"
#include "platform/file.h"
#include "platform/io.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/user.h"
#include "runtime/log.h"
#include "runtime/program_log.h"
#include "runtime/thread.h"
#include "runtime/trace.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>

namespace {

// Before anything is written: a server that hung up or a full log file makes
// a write fail, and the request still ends with its own exit code.
const bool writeFailuresSurvived = (platform::keep_running_on_failed_writes(), true);

// A request builds its folder's list, sorts it and drops the sort's work
// space before the page is built: the page reuses that memory.
const bool freedMemoryKept = (platform::keep_freed_memory(), true);

// The program log is current before main runs and put back after it ends.
vvProgramLog programLog;

// exeTo is the request time-out in milliseconds: "timeout" of section "index"
// of the common settings file, in seconds. The watchdog starts with the
// default and reads the configured value once it is written.
constexpr std::uint32_t kDefaultTimeout = 30000;
std::atomic<std::uint32_t> exeTo{kDefaultTimeout};

std::atomic<std::uint32_t> callCount{0};

// finishedRequest keeps the answered request until the process ends
// (volatile: the compiler must not drop a store that nothing reads).
Corvane* volatile finishedRequest = nullptr;

// request_timeout converts "timeout" (seconds) to milliseconds; a value
// whose milliseconds do not fit stands for the longest time-out there is.
std::uint32_t request_timeout(std::uint32_t seconds) {
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    return seconds > kMax / 1000 ? kMax : seconds * 1000;
}

// How long the time-out gives the trace to write what is queued (the queue
// is bounded; a writer that stalls is given up on much earlier).
constexpr unsigned kTraceFlushMs = 10000;

// itCallback is the watchdog's tick: once `exeTo` has passed it ends the
// process with exit code 2, whatever the main thread is doing. No response
// and no access log record starts from then on; the trace is written up to
// its "Session timeout." line, and the process ends at once: no exit handler
// and no static destructor runs while the main thread still works.
void itCallback(std::uint32_t elapsed, vvIntervalTimer* timer) {
    char name[32];
    std::snprintf(name, sizeof name, "itCallback#%lu",
                  static_cast<unsigned long>(callCount.fetch_add(1) + 1));
    vvTraceScope trace(name);
    if (vv_tracing())
        vv_dump_unsigned(trace.label("Arg: timer"), elapsed);
    if (elapsed < exeTo)
        return;
    timer->request_stop();
    stop_request_output();
    // The main thread may still be tracing: its lines must not land after
    // the time-out's.
    programLog.take_lines_only_from_this_thread();
    trace.print("Session timeout.");
    programLog.finish(kTraceFlushMs);
    platform::exit_process_now(2);
}

const char* or_null(int argc, char** argv, int i) {
    return argc > i ? argv[i] : nullptr;
}

// run_request answers one request for the folder settings file `conf`: the
// common settings file `ini` sets its time-out, and the page goes to the
// file `outf` (without header) when one is named and can be opened, else
// to `out`. Returns the exit code. A `fastcgi` request's response is
// written after it returns: the system's timer stays armed (the server
// disarms it then), and an untraced request's access record is held for
// after the response (write_held_records).
int run_request(vvTraceScope& trace, const std::string& ini, const char* conf, const char* outf,
                std::FILE* out, bool fastcgi = false) {
    // The watchdog runs before the common settings file is read, with the
    // default time-out, and then takes the configured one: a settings file
    // that blocks (a hung network share) still ends at a time-out.
    //
    // Without a program log the watchdog's ticks write nothing, and at the
    // time-out it only ends the process: a timer of the system does that
    // without starting a thread. A traced request keeps the ticking thread,
    // which writes each tick and the time-out to the trace.
    const std::uint32_t started = platform::clock_ms();
    const bool systemTimer = programLog.is_off() && platform::end_process_after(exeTo, 2);
    std::optional<vvIntervalTimer> watchdog;
    if (!systemTimer)
        watchdog.emplace(1000, itCallback, true, nullptr, false, false);
    {
        const IniFile settings(ini, KeyOrder::exact);
        exeTo = request_timeout(settings.get_number("index", "timeout", 30));
    }
    if (systemTimer) {
        // The time-out counts from the start of the watchdog. A time-out of
        // 0 ends the request at the watchdog's first tick, as it does with
        // the ticking thread.
        // The default time-out is armed already.
        const std::uint32_t spent = platform::clock_ms() - started;
        if (exeTo == 0)
            watchdog.emplace(1000, itCallback, true, nullptr, false, false);
        else if (exeTo != kDefaultTimeout)
            platform::end_process_after(exeTo > spent ? exeTo - spent : 1, 2);
    }
    if (vv_tracing())
        vv_dump_unsigned(trace.label("exeTo"), exeTo.load());

    std::FILE* file = outf != nullptr ? std::fopen(outf, "wb") : nullptr;
    if (exeTo == 0) {
        // A time-out of 0 leaves no time to answer: the output file is
        // opened (emptied) as for any request, nothing is written, and the
        // watchdog ends the request at its first tick.
        watchdog->wait(std::numeric_limits<unsigned>::max());
        return 2;
    }

    // Without an openable output file the page goes to `out`, still without
    // header when an output file was named.
    auto request =
        std::make_unique<Corvane>(ini, conf, outf != nullptr, file != nullptr ? file : out);
    // A traced request writes its record in its place among the trace's
    // lines, as the CGI program does.
    if (fastcgi && !vv_tracing())
        request->hold_access_records();
    request->put("");
    // The answered request is not taken apart: its memory (one block for
    // every entry of the folder, the page) goes back with the process at
    // once, while freeing a large folder block by block takes milliseconds.
    // It stays reachable, so leak checkers do not count it.
    finishedRequest = request.release();
    if (file != nullptr)
        std::fclose(file);
    // The response is out: the watchdog has nothing left to end.
    if (systemTimer && !fastcgi)
        platform::cancel_process_end();
    watchdog.reset();
    return 0;
}

// FastCgiRun is what every FastCGI request of the server runs with: the
// trace scope of main, the common settings file (fixed before the first
// child starts), the character set the server started with, and when the
// running request began.
struct FastCgiRun {
    vvTraceScope* trace = nullptr;
    std::string ini;
    platform::Charset charset = platform::Charset::shift_jis;
    std::uint32_t started = 0;
};

// answer_fastcgi is the CGI run of one FastCGI request. A child may have
// answered others before: what a request changes for the whole process is
// set back first as a new process has it (the time-out's default, the
// watchdog's tick count, the character set, the folder-log switch).
int answer_fastcgi(void* context, const char* conf, std::FILE* out) {
    auto& run = *static_cast<FastCgiRun*>(context);
    run.started = platform::clock_ms();
    exeTo = kDefaultTimeout;
    callCount = 0;
    platform::set_text_charset(run.charset);
    vv_set_folder_logs(false);
    IniFile::recheck_kept_file();
    // A vv.path in the listed folder traces this request, as it would trace
    // the CGI program started there.
    if (programLog.open_in_working_directory() && vv_tracing())
        vv_dump_pointer(run.trace->label("conf"), conf);
    const int code = run_request(*run.trace, run.ini, conf, nullptr, out, true);
    // A traced request's lines are written before its response ends, as
    // the CGI program's are before its process ends.
    if (!programLog.is_off())
        programLog.finish(3200);
    return code;
}

// write_held_records writes the answered request's access record once its
// response is out, still under the request's time-out.
void write_held_records(void*) {
    if (finishedRequest != nullptr)
        finishedRequest->write_held_access_records();
}

// reset_fastcgi takes back the answered request, once its response is out.
// The child answers another request only when the request ended within its
// time-out and the watchdog was the system's timer: the ticking thread of a
// traced request, and a request that ran past its time-out, end the child.
bool reset_fastcgi(void* context) {
    const auto& run = *static_cast<const FastCgiRun*>(context);
    delete finishedRequest;
    finishedRequest = nullptr;
    if (!programLog.is_off())
        return false;
    return platform::clock_ms() - run.started < exeTo;
}

// serve_requests loads what every request needs and does not change between
// them (the collators, the zone rules) once, so that each child starts with
// it, and then serves. The common settings file is found from where the
// program was started, before any request changes the working directory.
int serve_requests(vvTraceScope& trace, const std::string& ini) {
    FastCgiRun run;
    run.trace = &trace;
    run.ini = platform::absolute_path(ini);
    // Each request reads the common settings file as it is then; its text
    // is read again only when the file changed.
    IniFile::keep_file_text(run.ini);
    // A folder listed again, unchanged, is put into the order found before.
    keep_sort_orders();
    run.charset = platform::text_charset();
    (void)platform::compare_locale("a", "b");
    (void)platform::compare_no_case("a", "b");
    platform::LocalTime time;
    (void)platform::LocalZone().convert(0, time);
    FastCgiProgram program;
    program.answer = answer_fastcgi;
    program.after_response = write_held_records;
    program.reset = reset_fastcgi;
    program.context = &run;
    return FastCgiServer(program).serve(platform::fastcgi_children());
}

// kRootRefused is the exit code of a FastCGI server started as root that
// has no account to run as instead.
constexpr int kRootRefused = 3;

// leave_root lets a FastCGI server started as root go on as the account
// named by "user" of section "process" of the common settings file `ini`
// (default www-data), or as root where it says "root"; it tells on standard
// error which. (A CGI program runs as the web server's configuration has it
// run its programs.) Returns false, having said why, when that account
// cannot be taken: then the program answers nothing.
bool leave_root(const std::string& ini) {
    if (!platform::running_as_superuser())
        return true;
    std::string user = IniFile(ini, KeyOrder::exact).get_string("process", "user");
    const bool chosen = !user.empty();
    if (!chosen)
        user = "www-data";
    if (user == "root") {
        std::fprintf(stderr, "Dirvane: runs as root (user=root in section [process] of %s)\n",
                     ini.c_str());
        return true;
    }
    platform::UserAccount account;
    if (!platform::find_user_in_files(user, account) || account.uid == 0 ||
        !platform::become_user(account)) {
        std::fprintf(stderr,
                     "Dirvane: started as root, will not run as root and cannot run as \"%s\"; "
                     "name an account with user= in section [process] of %s (user=root keeps "
                     "root)\n",
                     user.c_str(), ini.c_str());
        return false;
    }
    std::fprintf(stderr,
                 "Dirvane: started as root, runs as %s (user= in section [process] of %s%s)\n",
                 user.c_str(), ini.c_str(), chosen ? "" : " chooses");
    return true;
}

constexpr const char* kUsage =
    "usage: Dirvane FOLDER-SETTINGS-FILE [OUTPUT-FILE]\n"
    "       Dirvane                       (standard input a listening socket: FastCGI)\n"
    "\n"
    "Lists the working directory as one CGI response: a web server runs it for\n"
    "a folder's settings file (config.index), with that folder as working\n"
    "directory. With OUTPUT-FILE the page goes there without CGI header.\n"
    "Started without arguments on a listening socket (spawn-fcgi, systemd's\n"
    "dirvane.socket, a web server's bin-path) it is a FastCGI server.\n"
    "The common settings are the program's path with .ini. See Dirvane(8).\n";

// answer_terminal answers --help and --version, the only arguments that are
// not a settings file, when they stand alone; returns whether it did.
bool answer_terminal(int argc, char** argv) {
    if (argc != 2)
        return false;
    if (std::strcmp(argv[1], "--help") == 0)
        std::fputs(kUsage, stdout);
    else if (std::strcmp(argv[1], "--version") == 0)
        std::fputs("Dirvane " DIRVANE_VERSION "\n", stdout);
    else
        return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (answer_terminal(argc, argv))
        return 0;
    vvTraceScope trace("main");
    if (vv_tracing())
        vv_dump_signed(trace.label("Arg: argc"), argc);

    const char* exe = argc > 0 ? argv[0] : "";
    const char* conf = or_null(argc, argv, 1);
    const char* outf = or_null(argc, argv, 2);
    if (vv_tracing()) {
        vv_dump_pointer(trace.label("exe"), or_null(argc, argv, 0));
        vv_dump_pointer(trace.label("conf"), conf);
        vv_dump_pointer(trace.label("outf"), outf);
    }
    // Started without arguments on a listening socket, as FastCGI servers
    // start their programs, Dirvane answers the requests that come in on it.
    if (argc <= 1 && platform::fastcgi_listener()) {
        const std::string ini = path_change_extension(exe, ".ini");
        return leave_root(ini) ? serve_requests(trace, ini) : kRootRefused;
    }
    if (conf == nullptr || *conf == '\0')
        return 1;

    const std::string ini = path_change_extension(exe, ".ini");
    if (vv_tracing())
        vv_dump_text(trace.label("ini"), ini);
    return run_request(trace, ini, conf, outf, stdout);
}
