// The program log.
#include "runtime/program_log.h"

namespace {

const vvLogTags kNoTags{};

} // namespace

vvProgramLog::vvProgramLog()
    : m_nullLog("", 4000, lvINFO, kNoTags, false, false, false, "\r\n"),
      m_log("\\log\\%X\\dv%p_%N.log", 4000, lvDEBUG, kNoTags, false, false, true, "\r\n") {
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
    m_log.stop(ms);
}
