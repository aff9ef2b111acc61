// FastCGI responder: a program started with a listening socket as standard
// input (spawn-fcgi, lighttpd's bin-path, systemd socket activation) answers
// the requests that come in on it.
#pragma once

#include <cstdio>

namespace platform {

// fastcgi_listener tells whether standard input is a listening socket, the
// way a FastCGI server hands its program the connections to answer.
bool fastcgi_listener();

// FastCgiHandler answers one request as a CGI run does: `conf` is the file
// the web server resolved the request to (SCRIPT_FILENAME), the working
// directory is its folder, the process environment holds the request's
// parameters, and `out` takes the whole CGI response, header lines first.
// The returned value is the exit code of the process that ran it.
using FastCgiHandler = int (*)(const char* conf, std::FILE* out);

// FastCgiReset runs in a child after a request whose handler returned 0,
// once its response has gone out: it takes back what the request kept and
// returns true when the child may answer another request as a fresh process
// would, false when the child must end instead (exit code 0).
using FastCgiReset = bool (*)();

// serve_fastcgi answers the requests on standard input until the process is
// asked to end (SIGTERM, SIGINT, SIGHUP). The calling process stays the
// parent: it keeps up to `children` child processes, each waiting for a
// request before one comes, and replaces every one that ends. A child runs
// `handler` for its request; it answers further ones only while `reset` (if
// given) says so after each, and ends after a request whose handler did not
// return 0, after a request that left it a large heap, a descriptor open or
// a thread running, and after at most 1000 requests. A child holds the
// connections it accepted until their requests' parameters have all come
// (within 5 s, and at most 64 KB of them; else the connection is closed),
// so a client that stops half-way holds no child. So a request that ends its process (a time-out, a
// crash) ends nothing else, and whatever the parent loaded before the call is there in every child
// at no cost. A request without SCRIPT_FILENAME, or whose folder cannot be entered, gets no output
// (its connection closes unfinished, an error of the web server's) and ends its child with exit
// code 1. Between requests a child disarms the process's interval timer
// (the time-out of the request before) and takes back the request's
// environment, whose TZ holds for that request alone. Returns the exit code of the parent: 0 when
// it was asked to end, 1 when the platform has no FastCGI responder or standard input cannot be
// served.
int serve_fastcgi(unsigned children, FastCgiHandler handler, FastCgiReset reset);

// fastcgi_children returns the number of child processes to keep: the
// environment variable DIRVANE_FASTCGI_CHILDREN (1 to 256), else 4.
unsigned fastcgi_children();

} // namespace platform
