// The program log.
#include "runtime/program_log.h"

#include "platform/file.h"

namespace {

const vvLogTags kNoTags{};
const char* const kTemplate = "\\log\\%X\\dv%p_%N.log";

} // namespace

vvProgramLog::vvProgramLog()
    : m_nullLog("", 4000, lvINFO, kNoTags, false, false, false, "\r\n"),
      m_log(kTemplate, 4000, lvDEBUG, kNoTags, false, false, true, "\r\n") {
    // The null log is current until the program log takes its place; the log
    // that was current before both comes back at the end.
    m_previous = vv_exchange_current_log(&m_nullLog);
    vv_exchange_current_log(&m_log);
}

vvProgramLog::~vvProgramLog() {
    vv_exchange_current_log(m_previous);
}

void vvProgramLog::finish(unsigned ms) {
    vv_exchange_current_log(m_previous);
    (m_folderLog ? *m_folderLog : m_log).stop(ms);
}

void vvProgramLog::take_lines_only_from_this_thread() {
    (m_folderLog ? *m_folderLog : m_log).take_lines_only_from_this_thread();
}

bool vvProgramLog::open_in_working_directory() {
    // Most folders have no marker: they cost one look, and no log is made.
    if (platform::path_kind("vv.path") == platform::PathKind::missing)
        return false;
    auto log =
        std::make_unique<vvLog>(kTemplate, 4000, lvDEBUG, kNoTags, false, false, true, "\r\n");
    if (log->is_disabled())
        return false;
    m_folderLog = std::move(log);
    vv_exchange_current_log(m_folderLog.get());
    return true;
}
