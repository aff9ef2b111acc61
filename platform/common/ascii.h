// ASCII letter case, as the registry, the environment and profile files
// compare names: only A-Z and a-z are one letter; every other byte (a
// Shift_JIS trail byte included) is itself.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform::ascii {

inline char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool equal_no_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace platform::ascii
