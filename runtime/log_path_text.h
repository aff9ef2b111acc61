// Text rules the log path units share: "\" and "/" both separate
// directories (a Shift_JIS trail byte equal to a backslash does not), and
// numbered folders and backups carry four digits.
#pragma once

#include "platform/text.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

inline bool vv_is_path_separator(char c) {
    return c == '\\' || c == '/';
}

// vv_last_separator_end returns the position after the last single-byte
// separator of `text` (0 when there is none).
inline std::size_t vv_last_separator_end(std::string_view text) {
    std::size_t end = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = platform::char_length(text, pos);
        if (length == 1 && vv_is_path_separator(text[pos])) {
            end = pos + 1;
        }
        pos += length;
    }
    return end;
}

// vv_four_digits writes `n` (0-9999) as four digits, zero-filled.
inline std::string vv_four_digits(unsigned n) {
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%04u", n);
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}
