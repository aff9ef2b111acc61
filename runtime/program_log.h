// vvProgramLog: the process-wide program log that receives the trace. It is
// made current before the program entry runs and put back at exit; it writes
// a file only when the marker file "vv.path" lies in the working directory
// (and "vv.nolog" does not).
#pragma once

#include "runtime/log.h"

#include <memory>

class vvProgramLog {
  public:
    vvProgramLog();
    ~vvProgramLog();

    vvProgramLog(const vvProgramLog&) = delete;
    vvProgramLog& operator=(const vvProgramLog&) = delete;

    // finish writes what is queued (the queue takes no line after it) and
    // closes the file, waiting while the writer keeps writing, at most `ms`
    // milliseconds: for a process that is about to end at once.
    void finish(unsigned ms);

    // take_lines_only_from_this_thread: from now on the log takes the lines
    // of the calling thread only, so that the lines it writes before finish
    // are the last ones.
    void take_lines_only_from_this_thread();

    // is_off tells whether the log stays off for the whole process (no
    // "vv.path", or "vv.nolog"): then it never writes a line, and finish has
    // nothing to do.
    bool is_off() const { return (m_folderLog ? *m_folderLog : m_log).is_disabled(); }

    // open_in_working_directory is for a process that lists folder after
    // folder (a FastCGI child, whose log was set up in its parent's folder):
    // when the working directory holds "vv.path" (and not "vv.nolog"), a log
    // opened there becomes current, as it would for a process started in
    // that folder. Returns whether it did.
    bool open_in_working_directory();

  private:
    vvLog m_nullLog;
    vvLog m_log;
    std::unique_ptr<vvLog> m_folderLog;
    vvLog* m_previous;
};
