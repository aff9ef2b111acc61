// ASCII letter case, as the registry, the environment, profile files, HTTP
// headers and the byte comparisons of names compare them: only A-Z and a-z
// are letters; every other byte or code (a Shift_JIS trail byte included)
// is itself.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform::ascii {

// lower takes a byte or a character code of any width (char, unsigned,
// char16_t) and returns it with A-Z as a-z; a code above 0x7F keeps every
// bit, so that no wide code folds by its low byte.
template <typename Code> constexpr Code lower(Code c) {
    return c >= Code('A') && c <= Code('Z') ? static_cast<Code>(c + ('a' - 'A')) : c;
}

template <typename Code> constexpr bool is_letter(Code c) {
    return (c >= Code('A') && c <= Code('Z')) || (c >= Code('a') && c <= Code('z'));
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
