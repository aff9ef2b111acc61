// The POSIX environment calls the tests use, for the Windows run-time
// library, which names them differently. Included ahead of every test
// source of a Windows build.
#pragma once

#include <cstdlib>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name) != nullptr) {
        return 0;
    }
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) {
    // An empty value removes the variable.
    return _putenv_s(name, "") == 0 ? 0 : -1;
}
