// The byte rules of the text layer: where a Shift_JIS or UTF-8 character
// starts and ends, its code, case folding, width and page fitness.
#include "platform/common/text_chars.h"

#include "platform/common/ascii.h"

#include <atomic>
#include <cstring>
#include <string>

namespace platform {

namespace {

bool is_continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// last_byte returns the position of the last byte `c` at or after `from`, or
// npos. Every entry's name and extension are found this way, so the C
// library's word-at-a-time search is used where it has one.
std::size_t last_byte(std::string_view text, char c, std::size_t from) {
    if (from >= text.size()) {
        return std::string_view::npos;
    }
#if defined(__GLIBC__)
    const void* found = memrchr(text.data() + from, c, text.size() - from);
    return found == nullptr
               ? std::string_view::npos
               : static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
#else
    const std::size_t found = text.substr(from).rfind(c);
    return found == std::string_view::npos ? found : from + found;
#endif
}

} // namespace

namespace text_chars {

std::atomic<Charset> g_charset{Charset::shift_jis};

Utf8Char decode_utf8(std::string_view text, std::size_t pos) {
    const auto b0 = static_cast<unsigned char>(text[pos]);
    if (b0 < 0x80) {
        return {b0, 1, true};
    }
    std::size_t n = 0;
    char32_t code = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
        code = b0 & 0x1Fu;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        code = b0 & 0x0Fu;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        code = b0 & 0x07u;
        min = 0x10000;
    } else {
        return {b0, 1, false};
    }
    if (text.size() - pos < n) {
        return {b0, 1, false};
    }
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(text[pos + k]);
        if (!is_continuation(b)) {
            return {b0, 1, false};
        }
        code = (code << 6) | (b & 0x3Fu);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return {b0, 1, false};
    }
    return {code, n, true};
}

} // namespace text_chars

using text_chars::decode_utf8;
using text_chars::g_charset;
using text_chars::is_lead_byte;
using text_chars::is_trail_byte;
using text_chars::unicode_width;
using text_chars::utf8_mode;
using text_chars::Utf8Char;

void set_text_charset(Charset charset) {
    g_charset.store(charset, std::memory_order_relaxed);
}

Charset text_charset() {
    return g_charset.load(std::memory_order_relaxed);
}

std::size_t char_length(std::string_view text, std::size_t pos) {
    if (utf8_mode()) {
        if (pos >= text.size() || static_cast<unsigned char>(text[pos]) < 0x80) {
            return 1;
        }
        return decode_utf8(text, pos).length;
    }
    if (pos + 1 < text.size() && is_lead_byte(static_cast<unsigned char>(text[pos])) &&
        is_trail_byte(static_cast<unsigned char>(text[pos + 1]))) {
        return 2;
    }
    // Also past the end: 1, so that a caller's loop always moves on.
    return 1;
}

unsigned char_code(std::string_view text, std::size_t pos, std::size_t* length) {
    const std::size_t n = char_length(text, pos);
    if (length != nullptr) {
        *length = n;
    }
    if (pos >= text.size()) {
        return 0;
    }
    if (utf8_mode()) {
        const Utf8Char c = decode_utf8(text, pos);
        return c.valid ? static_cast<unsigned>(c.code) : 0xDC00u + static_cast<unsigned>(c.code);
    }
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (n == 1) {
        return lead;
    }
    return lead * 256u + static_cast<unsigned char>(text[pos + 1]);
}

unsigned fold_case(unsigned code) {
    if (code < 0x80) {
        return ascii::lower(code);
    }
    if (utf8_mode()) {
        return code > 0x10FFFF ? code : static_cast<unsigned>(text_chars::unicode_fold_case(code));
    }
    if (code >= 0x8260 && code <= 0x8279) { // full-width Latin
        return code + 0x21;
    }
    if (code >= 0x839F && code <= 0x83B6) { // Greek
        return code + 0x20;
    }
    if (code >= 0x8440 && code <= 0x8460) { // Cyrillic; the small run skips trail 0x7F
        const unsigned index = code - 0x8440;
        return index < 15 ? 0x8470 + index : 0x8471 + index;
    }
    return code;
}

std::size_t find_last_char(std::string_view text, char c, std::size_t from) {
    // A byte that is never a trail byte is a whole character wherever it
    // stands, so the search need not walk the characters from the start.
    // In UTF-8 no byte below 0x80 lies inside a sequence.
    const auto byte = static_cast<unsigned char>(c);
    if (utf8_mode() ? byte < 0x80 : !is_trail_byte(byte)) {
        return last_byte(text, c, from);
    }
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); i += char_length(text, i)) {
        if (i >= from && text[i] == c && char_length(text, i) == 1) {
            found = i;
        }
    }
    return found;
}

namespace {

// is_bidi_control tells whether `code` reorders the text around it (the
// Arabic letter mark, the left-to-right and right-to-left marks, embeddings,
// overrides and isolates): a name could turn its own row around with one.
bool is_bidi_control(char32_t code) {
    return code == 0x061C || code == 0x200E || code == 0x200F ||
           (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

// shown tells whether the character goes on the page as it is.
bool shown(const Utf8Char& c) {
    return c.valid && !is_bidi_control(c.code);
}

} // namespace

std::size_t display_width(std::string_view text) {
    if (!utf8_mode()) {
        return text.size();
    }
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++width;
            ++i;
            continue;
        }
        const Utf8Char c = decode_utf8(text, i);
        width += shown(c) ? unicode_width(c.code) : 1;
        i += c.length;
    }
    return width;
}

bool is_page_text(std::string_view text) {
    if (!utf8_mode()) {
        return true;
    }
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const Utf8Char c = decode_utf8(text, i);
        if (!shown(c)) {
            return false;
        }
        i += c.length;
    }
    return true;
}

std::string page_text(std::string_view text) {
    if (is_page_text(text)) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char c = decode_utf8(text, i);
        if (shown(c)) {
            out.append(text.substr(i, c.length));
        } else {
            out += "\xEF\xBF\xBD"; // U+FFFD
        }
        i += c.length;
    }
    return out;
}

} // namespace platform
