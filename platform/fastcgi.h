// FastCGI processes: the operating system's part of a FastCGI server. A
// program started with a listening socket as standard input (spawn-fcgi,
// lighttpd's bin-path, systemd socket activation) keeps child processes that
// accept the connections on it; this is where they are started, replaced
// and ended, where connections wait until their requests have come, and
// what a child asks of the system between requests. The protocol and the
// request loop are the program's own (cgi/fastcgi_server.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// fastcgi_listener tells whether standard input is a listening socket, the
// way a FastCGI server hands its program the connections to answer.
bool fastcgi_listener();

// fastcgi_children returns the number of child processes to keep: the
// environment variable DIRVANE_FASTCGI_CHILDREN (1 to 256), else 4.
unsigned fastcgi_children();

// kChildCannotAccept is the exit code of a child that cannot accept
// connections: the parent then waits a moment before it starts the next
// one, instead of starting children as fast as it can.
inline constexpr int kChildCannotAccept = 121;

// ChildMain is one child process's whole life; it ends the process through
// end_child and never returns.
using ChildMain = void (*)(void* context);

// serve_children keeps up to `children` child processes, each running
// `childMain` from a fork of the calling process (so what the caller loaded
// before is there in every child at no cost), and replaces every one that
// ends, until the process is asked to end (SIGTERM, SIGINT, SIGHUP); then
// it ends them too. A child goes with its parent, and a SIGTERM lets the
// request it answers finish: it ends the child while it waits for one.
// Returns the parent's exit code: 0 when asked to end, 1 when standard
// input cannot be served or the platform keeps no children.
int serve_children(unsigned children, ChildMain childMain, void* context);

// end_child ends a child process at once with exit code `code`.
[[noreturn]] void end_child(int code);

// HeadState is what a look at the start of a connection's bytes found.
enum class HeadState { incomplete, complete, invalid };
// HeadCheck reads the bytes a connection has queued, from its start.
using HeadCheck = HeadState (*)(const unsigned char* bytes, std::size_t size);

// Connections are a child's connections, accepted on standard input, each
// held until `check` finds its request's head whole in the bytes queued on
// it (looked at, not taken: whoever reads the connection reads them all).
// A connection whose head is invalid, does not fit into `headLimit` bytes or
// has not come `deadlineMs` after its accept is closed; so is the one held
// longest when 64 are held and another comes.
class Connections {
  public:
    Connections(HeadCheck check, std::size_t headLimit, std::uint32_t deadlineMs);
    ~Connections();
    Connections(const Connections&) = delete;
    Connections& operator=(const Connections&) = delete;

    // kNoMore: none is held while no more are accepted, or the child is
    // asked to end.
    static constexpr int kNoMore = -2;
    // next returns a connection whose head is whole, accepting new ones
    // while `accepting`; kNoMore, or -1 when accept fails for another reason
    // than a client's.
    int next(bool accepting);
    // keep holds again a connection kept open for its next request.
    void keep(int connection);
    // close_connection closes a connection that is not held.
    static void close_connection(int connection);
    // held returns the connections held.
    std::vector<int> held() const;

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

// ChildBaseline is what a child holds when it starts, for the question
// whether a request left anything behind.
class ChildBaseline {
  public:
    ChildBaseline();
    // unchanged tells whether the process is as it started: one thread, a
    // heap of at most 32 MB (a large folder's list and page), and the
    // descriptors a request may open as they were, apart from `connections`.
    bool unchanged(const std::vector<int>& connections) const;

  private:
    int m_firstFree = -1;       // the descriptor the next open got at the start
    std::uint32_t m_opened = 0; // which of the 16 from it were open
};

// EnvironmentValues are variables' names and values.
using EnvironmentValues = std::vector<std::pair<std::string, std::string>>;

// environment_values returns those of `names` that the process environment
// holds, with their values.
EnvironmentValues environment_values(const std::vector<const char*>& names);

// set_environment makes `entries` ("NAME=value"; none when null; the caller
// keeps them while they are in use) the process environment, and then the
// variables of `kept`. The C library's time zone follows its TZ at once.
void set_environment(char* const* entries, const EnvironmentValues& kept);

// StreamWrite writes up to `size` bytes for `cookie`; returns how many it
// wrote, or -1.
using StreamWrite = long (*)(void* cookie, const char* data, std::size_t size);

// open_write_stream returns a stream whose output goes to `write` (null when
// none can be made).
std::FILE* open_write_stream(void* cookie, StreamWrite write);

// write_connection writes all of `bytes` to `connection`; false when a
// write failed (the client went away).
bool write_connection(int connection, std::string_view bytes);

// end_request_state takes back what a request set up for the whole process:
// its time-out timer, once the response is out.
void end_request_state();

} // namespace platform
