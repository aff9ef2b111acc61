// ScopedEnv sets one environment variable for one test (nullptr unsets it)
// and puts the old value, or its absence, back afterwards.
#pragma once

#include <cstdlib>
#include <string>

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_had = true;
            m_old = old;
        }
        set(value);
    }
    ~ScopedEnv() { set(m_had ? m_old.c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void set(const char* value) const {
        if (value != nullptr)
            setenv(m_name.c_str(), value, 1);
        else
            unsetenv(m_name.c_str());
    }

    std::string m_name;
    bool m_had = false;
    std::string m_old;
};
