// ScopedTimeZone sets the process's time zone (TZ; nullptr unsets it, for
// the system's default zone) for one test and puts the old setting back.
#pragma once

#include "support/scoped_env.h"

#include <ctime>

class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* tz)
        : m_tz("TZ", tz != nullptr ? std::optional<std::string>(tz) : std::nullopt) {
        tzset();
    }

  private:
    // Members end in reverse order: TZ is put back first, then read again.
    struct Reread {
        ~Reread() { tzset(); }
    } m_reread;
    ScopedEnv m_tz;
};
