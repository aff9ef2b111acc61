// vvLog: log files written by a writer thread. Any thread formats a line and
// hands it over; the writer thread owns the file, opens it (under a name
// expanded from a path template), rotates it by size and closes it.
#pragma once

#include "runtime/thread.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

// Levels, most severe first. A message is written when its level is at most
// the log's threshold.
enum vvLevel {
    lvEMERG = 0,
    lvALERT = 1,
    lvCRIT = 2,
    lvERR = 3,
    lvWARNING = 4,
    lvNOTICE = 5,
    lvINFO = 6,
    lvDEBUG = 7,
};

// vv_level_from_text reads a level name ("INFO", "lvINFO", ...; letter case
// ignored) or a number; -1 when it is neither.
int vv_level_from_text(std::string_view text);

// vvLogTime is a local time broken into the fields the log writes.
struct vvLogTime {
    int year = 0; // e.g. 2026
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// vv_local_time_now returns the local time now (all fields 0 when the clock
// cannot be read).
vvLogTime vv_local_time_now();

// vv_log_stamp returns the 17 digits YYYYMMDDhhmmssmmm of `time` (year modulo
// 10000).
std::string vv_log_stamp(const vvLogTime& time);

using vvLogTags = std::array<std::string, 8>;

// vvLogOrigin is who wrote a log's path template, which decides where its
// file may lie (see vv_set_folder_logs).
enum class vvLogOrigin {
    program,       // the program itself: anywhere
    administrator, // the common settings: an absolute path as it is, a
                   // relative one inside the working directory (the listed
                   // folder), as the folder's own
    folder,        // the listed folder's settings: inside the working directory
};

// vvLogWriting is which thread writes a log's file.
enum class vvLogWriting {
    writer_thread,  // the log's own: callers never wait for the disk
    calling_thread, // the one that writes the line, for a log of a few lines
                    // without a size limit: no thread is started, unless the
                    // file is no regular file (a named pipe, whose open may
                    // wait for a reader, or a device)
};

class vvLog : public vvThread {
  public:
    // `sizeLimit` is in units of 1000 bytes (0: no limit; 1-9 count as 10).
    // `processId` shows the process id in each line instead of the thread id.
    // `offByDefault` keeps the log off unless the marker file "vv.path" exists.
    // `origin`: who wrote the template (see vvLogOrigin). `writing`: which
    // thread writes the file (see vvLogWriting).
    vvLog(std::string_view pathTemplate, unsigned sizeLimit, int threshold, const vvLogTags& tags,
          bool noBanners, bool processId, bool offByDefault, std::string_view terminator,
          vvLogOrigin origin = vvLogOrigin::program,
          vvLogWriting writing = vvLogWriting::writer_thread);
    // Stops the writer thread once it has written every queued line (giving
    // up when it writes nothing for 3 s, or after 10 s), and closes the
    // file. Lines it could not write are counted in a last line before the
    // close banner.
    ~vvLog() override;

    // write formats one line at `level` and hands it to the writer thread (or
    // writes it directly on the writer thread). Returns false when it is not
    // written: level above 7, empty or over 8000 bytes, no file, disabled.
    bool write(int level, bool noRotate, std::string_view head, const char* format, ...)
        __attribute__((format(printf, 5, 6)));
    bool vwrite(int level, bool noRotate, std::string_view head, const char* format, va_list args);
    // vwrite_line is vwrite; with `cutOverlong` a message over 8000 bytes is
    // cut at a character boundary and ends in "...[cut]" instead of being
    // refused. Control bytes of every message are written as "_".
    bool vwrite_line(int level, bool noRotate, std::string_view head, bool cutOverlong,
                     const char* format, va_list args);
    // info writes one line at level 6 with an empty head text.
    bool info(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // stop ends the writer thread once it has written what is queued (the
    // queue takes no line after it); waits for the writer as long as it
    // keeps writing, at most `ms` milliseconds, and returns whether it has
    // ended.
    bool stop(unsigned ms);
    // take_lines_only_from_this_thread makes the log refuse lines of every
    // other thread from now on: a thread that ends the process writes its
    // last lines without another thread's lines landing among or after them.
    void take_lines_only_from_this_thread();
    // close_file asks the writer thread to close the file (the log then
    // counts as not open).
    void close_file();

    bool is_open() const;
    bool is_disabled() const;
    int threshold() const;
    std::string current_path() const;

    void run() override;
    // request_stop also tells the writer thread's own loop to end.
    bool request_stop() override;

  private:
    // Message is one request to the writer thread, kept in posting order.
    struct Message {
        enum Kind { start, reopen, close, line, quit };
        Kind kind = start;
        std::string text; // the whole line, terminator included (kind line)
    };
    // Writer is everything the writer thread touches. The thread holds its
    // own share: a writer left behind by the destructor (stuck in an open or
    // a write that blocks) finishes on live state and closes its file itself.
    struct Writer;

    // post queues a message and wakes the writer thread; false once the
    // writer thread has ended.
    bool post(Message::Kind kind, std::string line = std::string());
    void set_open_counter(unsigned counter);
    // reopen_if_refused asks for a new open when the last one was refused
    // because its location from the listed folder led out of it.
    void reopen_if_refused();
    friend void vv_set_folder_logs(bool allowed);

    const std::shared_ptr<Writer> m_w;

    friend class vvLogPathTest;
};

// vv_set_folder_logs sets the process-wide switch that lets a log location
// from the listed folder (a template from its settings file, line 1 of its
// vv.path) lead anywhere; while it is off (the default) such a location is
// honoured only inside the working directory, reached without following a
// link. Switching it on reopens the current log when its open was refused.
void vv_set_folder_logs(bool allowed);
bool vv_folder_logs();

// The process-wide current log that the trace writes to.
vvLog* vv_current_log();
// vv_exchange_current_log makes `log` current and returns the previous one.
vvLog* vv_exchange_current_log(vvLog* log);
// vv_trace_on: the current log has an open file.
bool vv_trace_on();
// vv_trace_vprint writes a level-6 line with `head` to the current log; when
// that fails, the log's file is closed so that the trace counts as off.
bool vv_trace_vprint(std::string_view head, const char* format, va_list args);
