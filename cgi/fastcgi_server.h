// FastCgiServer: Dirvane as a FastCGI server. Started without arguments
// with a listening socket as standard input, the program answers each
// request that comes in on it as one CGI run, in child processes that
// answer request after request (the processes are platform/fastcgi.h's).
#pragma once

#include "platform/fastcgi.h"

#include <cstdio>

// FastCgiProgram is what the program does with a request. `answer` runs
// one as a CGI run does: `conf` is the file the web server resolved the
// request to (SCRIPT_FILENAME), the working directory is its folder, the
// process environment holds the request's parameters, and `out` takes the
// whole CGI response, header lines first; it returns the exit code of the
// process that ran it. A time-out it arms with platform::end_process_after
// may stay armed: the response is written under it, and then it is
// disarmed. `after_response` runs once the response has gone out (or
// failed to), still under that time-out: the request's work that need not
// hold the response up. `reset` runs after every request whose answer
// returned 0, once its response has gone out: it takes back what the
// request kept and tells whether the child may answer another request as a
// fresh process would.
struct FastCgiProgram {
    int (*answer)(void* context, const char* conf, std::FILE* out) = nullptr;
    void (*after_response)(void* context) = nullptr;
    bool (*reset)(void* context) = nullptr;
    void* context = nullptr;
};

// FastCgiServer answers the requests on standard input until the process is
// asked to end. A child ends after a request whose answer did not return 0,
// after one whose reset said so or that left the process changed (a large
// heap, a descriptor open, a thread running), and after 1000 requests; so a
// request that ends its process (a time-out, a crash) ends nothing else. A
// request without SCRIPT_FILENAME, or whose folder cannot be entered, gets
// no output (its connection closes unfinished, an error of the web
// server's) and ends its child with exit code 1. A request's parameters are
// its environment, with the process's own TZ, TZDIR, LANG, LC_ALL and
// LC_COLLATE (the parent loaded the collators and zone rules under them); a
// TZ from the request holds for that request alone.
class FastCgiServer {
  public:
    explicit FastCgiServer(FastCgiProgram program);

    // serve keeps `children` child processes answering; returns the exit
    // code of the parent: 0 when it was asked to end, 1 when the program has
    // no FastCGI server or standard input cannot be served.
    int serve(unsigned children);

  private:
    static void child_main(void* server);
    [[noreturn]] void answer_requests();

    FastCgiProgram m_program;
    platform::EnvironmentValues m_kept; // the process's own kept variables
};
