// Text layer: character boundaries, case folding and locale comparison of the
// system's byte strings (Shift_JIS, code page 932).
//
// Every double-byte-aware step of Dirvane asks this one place where a
// character starts and ends, so that another code page can be added here
// without touching the callers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// char_length returns the byte length (1 or 2) of the character that starts at
// `pos` of `text`. A lead byte without a valid trail byte behind it (also a
// lead byte at the very end) counts as a character of one byte.
std::size_t char_length(std::string_view text, std::size_t pos);

// char_code returns the character that starts at `pos` as a number: the byte
// value for a single-byte character, lead * 256 + trail for a double-byte one.
// Stores the character's byte length in *length when length is not null.
unsigned char_code(std::string_view text, std::size_t pos, std::size_t* length = nullptr);

// find_last_char returns the position of the last character `c` (a
// single-byte character) at or after `from`, or npos. The second byte of a
// double-byte character is never taken for `c`.
std::size_t find_last_char(std::string_view text, char c, std::size_t from = 0);

// fold_case maps a character code (as char_code returns it) to its lower-case
// form: ASCII capitals, and the double-byte full-width Latin, Greek and
// Cyrillic capitals to their small letters. Every other code is returned as is.
unsigned fold_case(unsigned code);

// compare_locale compares two texts the way the user's default locale orders
// them, ignoring letter case, non-spacing marks, kana type and width.
// Returns -1, 0 or 1.
int compare_locale(std::string_view a, std::string_view b);

// compare_no_case compares two texts in the user's locale, ignoring letter
// case only. Returns -1, 0 or 1.
int compare_no_case(std::string_view a, std::string_view b);

// locale_sort_key returns a byte string whose byte-wise order (memcmp, shorter
// first on a common prefix) is the order of compare_locale; equal keys mean
// compare_locale gives 0. Lets a sort convert each text once.
std::string locale_sort_key(std::string_view text);

// no_case_sort_key is the same for compare_no_case.
std::string no_case_sort_key(std::string_view text);

} // namespace platform
