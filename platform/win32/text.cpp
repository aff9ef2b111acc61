// Win32 only: the user's default locale compares code page 932 text
// (CompareStringA with the locale 0x0400, lstrcmpiA) and gives sort keys
// (LCMapStringA); UTF-8 text takes the same calls' wide forms.
#include "platform/text.h"

#include "platform/common/text_chars.h"
#include "platform/win32/wide_text.h"

#include <windows.h>

#include <climits>

namespace platform {

namespace {

// The locale comparison ignores letter case, non-spacing marks, kana type
// and width.
constexpr DWORD locale_flags =
    NORM_IGNORECASE | NORM_IGNORENONSPACE | NORM_IGNOREKANATYPE | NORM_IGNOREWIDTH;
static_assert(locale_flags == 0x00030003);

int sign_of(int windowsResult) {
    // CSTR_LESS_THAN 1, CSTR_EQUAL 2, CSTR_GREATER_THAN 3; 0 is a failure.
    return windowsResult == CSTR_LESS_THAN ? -1 : (windowsResult == CSTR_GREATER_THAN ? 1 : 0);
}

int compare_bytes(std::string_view a, std::string_view b) {
    const int r = a.compare(b);
    return (r > 0) - (r < 0);
}

bool fits(std::string_view a) {
    return a.size() < static_cast<std::size_t>(INT_MAX);
}

int compare_with(DWORD flags, std::string_view a, std::string_view b) {
    if (a == b) {
        return 0;
    }
    if (!fits(a) || !fits(b)) {
        return compare_bytes(a, b);
    }
    int r = 0;
    if (text_chars::utf8_mode()) {
        const std::wstring wa = win32::to_wide(a);
        const std::wstring wb = win32::to_wide(b);
        r = CompareStringW(LOCALE_USER_DEFAULT, flags, wa.data(), static_cast<int>(wa.size()),
                           wb.data(), static_cast<int>(wb.size()));
    } else {
        r = CompareStringA(LOCALE_USER_DEFAULT, flags, a.data(), static_cast<int>(a.size()),
                           b.data(), static_cast<int>(b.size()));
    }
    return r == 0 ? compare_bytes(a, b) : sign_of(r);
}

// sort_key_with returns LCMapString's sort key of `text` without its final
// 0 byte, whose byte-wise order is CompareString's with the same flags; the
// text itself when the system gives none.
std::string sort_key_with(DWORD flags, std::string_view text) {
    if (text.empty()) {
        return std::string();
    }
    if (!fits(text)) {
        return std::string(text);
    }
    std::string key;
    if (text_chars::utf8_mode()) {
        const std::wstring wide = win32::to_wide(text);
        const int n = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | flags, wide.data(),
                                   static_cast<int>(wide.size()), nullptr, 0);
        if (n <= 0) {
            return std::string(text);
        }
        key.resize(static_cast<std::size_t>(n));
        // With LCMAP_SORTKEY the output buffer holds bytes, counted in bytes.
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | flags, wide.data(),
                     static_cast<int>(wide.size()), reinterpret_cast<wchar_t*>(key.data()), n);
    } else {
        const int n = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | flags, text.data(),
                                   static_cast<int>(text.size()), nullptr, 0);
        if (n <= 0) {
            return std::string(text);
        }
        key.resize(static_cast<std::size_t>(n));
        LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | flags, text.data(),
                     static_cast<int>(text.size()), key.data(), n);
    }
    while (!key.empty() && key.back() == '\0') {
        key.pop_back();
    }
    return key;
}

// utf16_of writes the code point as one or two UTF-16 units; returns how
// many.
int utf16_of(unsigned code, wchar_t units[2]) {
    if (code >= 0x10000) {
        units[0] = static_cast<wchar_t>(0xD7C0 + (code >> 10));
        units[1] = static_cast<wchar_t>(0xDC00 | (code & 0x3FF));
        return 2;
    }
    units[0] = static_cast<wchar_t>(code);
    return 1;
}

} // namespace

namespace text_chars {

unsigned unicode_fold_case(unsigned code) {
    // The system lowers letters of every script in UTF-16; characters
    // outside the basic plane have no case the system maps.
    if (code >= 0x10000 || (code >= 0xD800 && code <= 0xDFFF)) {
        return code;
    }
    wchar_t unit = static_cast<wchar_t>(code);
    CharLowerBuffW(&unit, 1);
    return static_cast<unsigned>(unit);
}

std::size_t unicode_width(char32_t code) {
    // Zero-width format characters the type tables do not mark.
    if ((code >= 0x200B && code <= 0x200F) || (code >= 0x2060 && code <= 0x2064) ||
        code == 0xFEFF || code == 0x00AD) {
        return 0;
    }
    // Ideographs, emoji and the other characters of the planes above the
    // basic one that terminals show wide.
    if ((code >= 0x1F300 && code <= 0x1FAFF) || (code >= 0x20000 && code <= 0x3FFFD)) {
        return 2;
    }
    // Hangul syllables and Jamo, which the type tables do not flag.
    if ((code >= 0xAC00 && code <= 0xD7A3) || (code >= 0x1100 && code <= 0x115F)) {
        return 2;
    }
    wchar_t units[2];
    const int n = utf16_of(static_cast<unsigned>(code), units);
    WORD type[2] = {};
    if (!GetStringTypeW(CT_CTYPE3, units, n, type)) {
        return 1;
    }
    if ((type[0] & C3_NONSPACING) != 0 && (type[0] & C3_ALPHA) == 0) {
        return 0;
    }
    if ((type[0] & (C3_FULLWIDTH | C3_IDEOGRAPH)) != 0) {
        return 2;
    }
    if ((type[0] & (C3_HIRAGANA | C3_KATAKANA)) != 0 && (type[0] & C3_HALFWIDTH) == 0) {
        return 2;
    }
    return 1;
}

} // namespace text_chars

unsigned unicode_of_double_byte(unsigned code) {
    const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    wchar_t unit[2];
    const int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, 2, unit, 2);
    return n == 1 && (unit[0] < 0xD800 || unit[0] > 0xDFFF) ? unit[0] : 0xFFFD;
}

int compare_locale(std::string_view a, std::string_view b) {
    return compare_with(locale_flags, a, b);
}

int compare_no_case(std::string_view a, std::string_view b) {
    if (a == b) {
        return 0;
    }
    // lstrcmpiA is CompareStringA of the user's locale with NORM_IGNORECASE
    // on terminated texts; a text holding a NUL byte takes that call itself.
    if (!text_chars::utf8_mode() && a.find('\0') == a.npos && b.find('\0') == b.npos) {
        const std::string ta(a);
        const std::string tb(b);
        const int r = lstrcmpiA(ta.c_str(), tb.c_str());
        return (r > 0) - (r < 0);
    }
    return compare_with(NORM_IGNORECASE, a, b);
}

std::string locale_sort_key(std::string_view text) {
    return sort_key_with(locale_flags, text);
}

std::string no_case_sort_key(std::string_view text) {
    return sort_key_with(NORM_IGNORECASE, text);
}

KeyLead locale_key_lead(std::string_view) {
    // The keys of LCMapString are not classed: every text is keyed.
    return KeyLead::unknown;
}

} // namespace platform
