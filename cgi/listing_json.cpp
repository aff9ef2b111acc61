// JSON strings and times of the listing's JSON form.
#include "cgi/listing_json.h"

#include "platform/common/zone_rules.h"
#include "platform/text.h"

#include <cstdio>

namespace {

constexpr unsigned kReplacement = 0xFFFD;

void append_utf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// unicode_of returns the character of the text layer that starts at `pos`
// as a Unicode code point, U+FFFD when its bytes form none.
unsigned unicode_of(std::string_view text, std::size_t pos, std::size_t& length) {
    const unsigned code = platform::char_code(text, pos, &length);
    if (length == 0)
        length = 1;
    if (platform::text_charset() == platform::Charset::utf8)
        return code >= 0xD800 && code <= 0xDFFF ? kReplacement : code;
    // Shift_JIS: the single-byte characters below 0x80 are ASCII and
    // 0xA1-0xDF the half-width katakana; a double-byte character goes
    // through the text layer's converter.
    if (length == 1) {
        if (code < 0x80)
            return code;
        if (code >= 0xA1 && code <= 0xDF)
            return 0xFF61 + (code - 0xA1);
        return kReplacement;
    }
    return platform::unicode_of_double_byte(code);
}

// append_digits appends `value` in decimal, with leading zeros to `width`
// digits; a negative year keeps its sign.
void append_digits(std::string& out, std::int64_t value, int width) {
    if (value < 0) {
        out += '-';
        value = -value;
    }
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && n < 20);
    for (int k = n; k < width; ++k)
        out += '0';
    while (n > 0)
        out += digits[--n];
}

} // namespace

void append_json_string(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t pos = 0; pos < text.size();) {
        // Most names are runs of printable ASCII, which go as they are.
        std::size_t plain = pos;
        while (plain < text.size()) {
            const auto c = static_cast<unsigned char>(text[plain]);
            if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\')
                break;
            ++plain;
        }
        out.append(text.substr(pos, plain - pos));
        pos = plain;
        if (pos == text.size())
            break;
        std::size_t length = 1;
        const unsigned code = unicode_of(text, pos, length);
        pos += length;
        switch (code) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if (code < 0x20 || code == 0x7F || code == 0x2028 || code == 0x2029) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", code);
                out += escape;
            } else {
                append_utf8(out, code);
            }
        }
    }
    out += '"';
}

void append_json_time(std::string& out, const TimeValue& time) {
    if (time.is_missing()) {
        out += "null";
        return;
    }
    // An entry's time is a 32-bit count of seconds: its year always fits.
    platform::LocalTime utc;
    platform::civil_time(time.seconds, 0, utc);
    out += '"';
    append_digits(out, utc.year, 4);
    out += '-';
    append_digits(out, utc.month, 2);
    out += '-';
    append_digits(out, utc.day, 2);
    out += 'T';
    append_digits(out, utc.hour, 2);
    out += ':';
    append_digits(out, utc.minute, 2);
    out += ':';
    append_digits(out, utc.second, 2);
    out += '.';
    append_digits(out, time.microseconds / 1000, 3);
    out += "Z\"";
}
