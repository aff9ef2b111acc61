// ScopedTimeZone sets the process's time zone (TZ; nullptr unsets it, for
// the system's default zone) for one test and puts the old setting back.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) {
            m_had = true;
            m_old = old;
        }
        set(tz);
    }
    ~ScopedTimeZone() { set(m_had ? m_old.c_str() : nullptr); }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    static void set(const char* tz) {
        if (tz != nullptr)
            setenv("TZ", tz, 1);
        else
            unsetenv("TZ");
        tzset();
    }

    bool m_had = false;
    std::string m_old;
};
