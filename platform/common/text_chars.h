// Character boundaries of the text layer, shared by every implementation of
// platform/text.h: the Shift_JIS and UTF-8 byte rules do not depend on the
// system. Each implementation supplies the two Unicode properties that do
// (unicode_fold_case, unicode_width) and the comparisons.
#pragma once

#include "platform/text.h"

#include <atomic>
#include <cstddef>
#include <string_view>

namespace platform::text_chars {

// Utf8Char is one decoded UTF-8 character: its code point and byte length,
// or `valid` false for a byte that starts no valid sequence (length 1).
struct Utf8Char {
    char32_t code = 0;
    std::size_t length = 1;
    bool valid = false;
};

// The character set is written once at start and read on every character;
// relaxed loads cost what a plain load costs.
extern std::atomic<Charset> g_charset;

// utf8_mode tells whether the layer's character set is UTF-8.
inline bool utf8_mode() {
    return g_charset.load(std::memory_order_relaxed) == Charset::utf8;
}

// decode_utf8 reads the character at `pos` (which lies inside `text`).
// Overlong forms, surrogates and codes above U+10FFFF are invalid, as is a
// sequence cut short by the end of the text or by a byte that is no
// continuation byte.
Utf8Char decode_utf8(std::string_view text, std::size_t pos);

// is_lead_byte and is_trail_byte are the byte ranges of code page 932.
inline bool is_lead_byte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

inline bool is_trail_byte(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// unicode_fold_case returns the simple case folding of the code point
// `code` (0x80-0x10FFFF). Supplied by each implementation.
unsigned unicode_fold_case(unsigned code);

// unicode_width returns the terminal columns of the valid code point `code`:
// 0 for combining marks and format characters, 2 for East Asian wide and
// full-width characters, else 1. Supplied by each implementation.
std::size_t unicode_width(char32_t code);

} // namespace platform::text_chars
