// POSIX only: code page 932 text through ICU (the "windows-932" converter and
// collators), or UTF-8 text through the same collators.
#include "platform/text.h"

#include "platform/common/ascii.h"
#include "platform/common/text_chars.h"

#include "platform/posix/ascii_collation.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>
#include <unicode/uvernum.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace platform {

using text_chars::decode_utf8;
using text_chars::utf8_mode;
using text_chars::Utf8Char;

namespace {

// Texts longer than this (far beyond any name) are compared byte-wise
// instead, which keeps ICU's int32_t lengths and the buffers in bounds.
constexpr std::size_t kMaxIcuLength = std::size_t{1} << 20;

// compare_bytes is the fallback order when ICU cannot help: unsigned bytes,
// a text that ends first is smaller. Its sort key is the text itself.
int compare_bytes(std::string_view a, std::string_view b) {
    const int r = a.compare(b);
    return (r > 0) - (r < 0);
}

// Utf16Text is a UTF-16 buffer that a thread reuses from call to call, so
// that a conversion allocates only when a longer text than ever comes along.
struct Utf16Text {
    std::vector<UChar> buffer;
    std::int32_t length = 0;

    UChar* room(std::size_t n) {
        if (buffer.size() < n) {
            buffer.resize(n);
        }
        return buffer.data();
    }
    std::int32_t capacity() const { return static_cast<std::int32_t>(buffer.size()); }
};

// Scratch holds every buffer of one thread: the two converted texts, their
// case-folded forms and a sort key.
struct Scratch {
    Utf16Text a, b, foldedA, foldedB;
    std::vector<std::uint8_t> key = std::vector<std::uint8_t>(256);
};

Scratch& scratch() {
    thread_local Scratch s;
    return s;
}

// ThreadConverter is the "windows-932" converter of one thread. A converter
// keeps conversion state, so threads cannot share one; a process that uses
// the text layer from one thread opens exactly one.
class ThreadConverter {
  public:
    ThreadConverter() {
        UErrorCode status = U_ZERO_ERROR;
        m_converter = ucnv_open("windows-932", &status);
        if (U_FAILURE(status)) {
            m_converter = nullptr;
        }
    }
    ~ThreadConverter() {
        if (m_converter != nullptr) {
            ucnv_close(m_converter);
        }
    }
    ThreadConverter(const ThreadConverter&) = delete;
    ThreadConverter& operator=(const ThreadConverter&) = delete;

    UConverter* get() const { return m_converter; }

  private:
    UConverter* m_converter = nullptr;
};

UConverter* converter() {
    thread_local ThreadConverter c;
    return c.get();
}

// AsciiTable is what the converter makes of each byte 0x00-0x7F, so that
// such bytes are widened without opening it: ICU's "windows-932" is the
// identity there but for the controls 0x1A, 0x1C and 0x7F, which it swaps.
// (The tests compare this against the converter.) Every unit lies below
// 0x80, which keeps ASCII case folding exact.
struct AsciiTable {
    bool usable = true;
    UChar units[128] = {};
};

constexpr AsciiTable make_ascii_table() {
    AsciiTable t;
    for (int i = 0; i < 128; ++i) {
        t.units[i] = static_cast<UChar>(i);
    }
    t.units[0x1A] = 0x1C;
    t.units[0x1C] = 0x7F;
    t.units[0x7F] = 0x1A;
    return t;
}

constexpr AsciiTable make_identity_table() {
    AsciiTable t;
    for (int i = 0; i < 128; ++i) {
        t.units[i] = static_cast<UChar>(i);
    }
    return t;
}

// ascii_table returns the table of the current character set: UTF-8 bytes
// below 0x80 are their own code points.
const AsciiTable& ascii_table() {
    static constexpr AsciiTable cp932 = make_ascii_table();
    static constexpr AsciiTable utf8 = make_identity_table();
    return utf8_mode() ? utf8 : cp932;
}

// utf8_to_utf16 widens the UTF-8 text `rest` into `units` from `start` on;
// each byte of an invalid sequence becomes U+FFFD. `units` has room for
// start + rest.size() units, which no UTF-8 text exceeds.
std::int32_t utf8_to_utf16(std::string_view rest, UChar* units, std::size_t start) {
    std::size_t out = start;
    for (std::size_t i = 0; i < rest.size();) {
        const Utf8Char c = decode_utf8(rest, i);
        i += c.length;
        const char32_t code = c.valid ? c.code : 0xFFFD;
        if (code >= 0x10000) {
            units[out++] = static_cast<UChar>(0xD7C0 + (code >> 10));
            units[out++] = static_cast<UChar>(0xDC00 | (code & 0x3FF));
        } else {
            units[out++] = static_cast<UChar>(code);
        }
    }
    return static_cast<std::int32_t>(out);
}

// ascii_prefix_length returns how many leading bytes of `text` are below 0x80.
// No lead byte lies among them, so the rest converts on its own.
std::size_t ascii_prefix_length(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && static_cast<unsigned char>(text[n]) < 0x80) {
        ++n;
    }
    return n;
}

// to_utf16 converts `text` (code page 932 or UTF-8) into `out`. Invalid bytes become
// the converter's substitution character. Returns false when ICU fails.
bool to_utf16(std::string_view text, Utf16Text& out) {
    if (text.size() > kMaxIcuLength) {
        return false;
    }
    const AsciiTable& ascii = ascii_table();
    const std::size_t prefix = ascii.usable ? ascii_prefix_length(text) : 0;
    UChar* units = out.room(text.size() + 1);
    for (std::size_t i = 0; i < prefix; ++i) {
        units[i] = ascii.units[static_cast<unsigned char>(text[i])];
    }
    if (prefix == text.size()) {
        out.length = static_cast<std::int32_t>(prefix);
        return true;
    }
    if (utf8_mode()) {
        // A UTF-8 sequence of n bytes gives at most n UTF-16 units.
        out.length = utf8_to_utf16(text.substr(prefix), units, prefix);
        return true;
    }
    UConverter* cnv = converter();
    if (cnv == nullptr) {
        return false;
    }
    const char* rest = text.data() + prefix;
    const auto restLength = static_cast<std::int32_t>(text.size() - prefix);
    const auto start = static_cast<std::int32_t>(prefix);
    UErrorCode status = U_ZERO_ERROR;
    std::int32_t n =
        ucnv_toUChars(cnv, units + start, out.capacity() - start, rest, restLength, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR && n >= 0) {
        units = out.room(static_cast<std::size_t>(start) + static_cast<std::size_t>(n) + 1);
        status = U_ZERO_ERROR;
        n = ucnv_toUChars(cnv, units + start, out.capacity() - start, rest, restLength, &status);
    }
    if (U_FAILURE(status) || n < 0 || n > out.capacity() - start) {
        return false;
    }
    out.length = start + n;
    return true;
}

// to_folded_utf16 converts `text` into `out` with letter case folded (ICU's
// default case folding). `work` holds the unfolded conversion.
bool to_folded_utf16(std::string_view text, Utf16Text& work, Utf16Text& out) {
    const AsciiTable& ascii = ascii_table();
    if (ascii.usable && text.size() <= kMaxIcuLength && ascii_prefix_length(text) == text.size()) {
        // Below 0x80 the default case folding is exactly A-Z to a-z.
        UChar* units = out.room(text.size() + 1);
        for (std::size_t i = 0; i < text.size(); ++i) {
            const UChar c = ascii.units[static_cast<unsigned char>(text[i])];
            units[i] = ascii::lower(c);
        }
        out.length = static_cast<std::int32_t>(text.size());
        return true;
    }
    if (!to_utf16(text, work)) {
        return false;
    }
    UErrorCode status = U_ZERO_ERROR;
    UChar* units = out.room(static_cast<std::size_t>(work.length) + 1);
    std::int32_t n = u_strFoldCase(units, out.capacity(), work.buffer.data(), work.length,
                                   U_FOLD_CASE_DEFAULT, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR && n >= 0) {
        units = out.room(static_cast<std::size_t>(n) + 1);
        status = U_ZERO_ERROR;
        n = u_strFoldCase(units, out.capacity(), work.buffer.data(), work.length,
                          U_FOLD_CASE_DEFAULT, &status);
    }
    if (U_FAILURE(status) || n < 0 || n > out.capacity()) {
        return false;
    }
    out.length = n;
    return true;
}

// collation_locale_name returns the ICU locale of the user's collation: the
// first non-empty one of LC_ALL, LC_COLLATE and LANG without its ".codeset"
// and "@modifier" parts; "ja" when none is set or it names no locale ("C",
// "POSIX").
std::string collation_locale_name() {
    for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0') {
            continue;
        }
        std::string name(value);
        const std::size_t codeset = name.find_first_of(".@");
        if (codeset != std::string::npos) {
            name.resize(codeset);
        }
        if (name.empty() || name == "C" || name == "POSIX") {
            break;
        }
        return name;
    }
    return "ja";
}

// open_collator opens a collator of the user's locale at `strength`, or of
// Japanese when that locale cannot be opened; null when ICU fails.
UCollator* open_collator(UColAttributeValue strength) {
    const std::string name = collation_locale_name();
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(name.c_str(), &status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        collator = ucol_open("ja", &status);
        if (U_FAILURE(status)) {
            return nullptr;
        }
    }
    ucol_setAttribute(collator, UCOL_STRENGTH, strength, &status);
    if (U_FAILURE(status)) {
        ucol_close(collator);
        return nullptr;
    }
    return collator;
}

// The collators are opened on first use and never closed: a time-out may end
// the process from another thread while the main thread still compares, and
// exit handlers must not pull a collator away under it.

// locale_collator ignores case, accents and voicing marks, kana type and
// width: the primary strength.
const UCollator* locale_collator() {
    static const UCollator* const collator = open_collator(UCOL_PRIMARY);
    return collator;
}

// no_case_collator sees every difference; it compares case-folded text, so
// that exactly letter case is ignored. (The Japanese tailoring puts width
// and kana type beyond the tertiary level, hence the identical strength.)
const UCollator* no_case_collator() {
    static const UCollator* const collator = open_collator(UCOL_IDENTICAL);
    return collator;
}

// sort_key returns the collator's key of `text` without its final 0 byte
// (ICU keys hold no other 0 byte, so memcmp order is kept); the text itself
// when ICU fails.
std::string sort_key(const UCollator* collator, const Utf16Text& text, std::string_view original) {
    std::vector<std::uint8_t>& key = scratch().key;
    const UChar* units = text.buffer.data();
    auto capacity = static_cast<std::int32_t>(key.size());
    std::int32_t n = ucol_getSortKey(collator, units, text.length, key.data(), capacity);
    if (n > capacity) {
        key.resize(static_cast<std::size_t>(n));
        capacity = n;
        n = ucol_getSortKey(collator, units, text.length, key.data(), capacity);
    }
    if (n <= 0 || n > capacity) {
        return std::string(original);
    }
    return std::string(reinterpret_cast<const char*>(key.data()), static_cast<std::size_t>(n - 1));
}

int collate(const UCollator* collator, const Utf16Text& a, const Utf16Text& b) {
    const UCollationResult r =
        ucol_strcoll(collator, a.buffer.data(), a.length, b.buffer.data(), b.length);
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

} // namespace

namespace text_chars {

unsigned unicode_fold_case(unsigned code) {
    return static_cast<unsigned>(u_foldCase(static_cast<UChar32>(code), U_FOLD_CASE_DEFAULT));
}

std::size_t unicode_width(char32_t code) {
    const auto c = static_cast<UChar32>(code);
    const auto category = static_cast<UCharCategory>(u_charType(c));
    if (category == U_NON_SPACING_MARK || category == U_ENCLOSING_MARK ||
        category == U_FORMAT_CHAR) {
        return 0;
    }
    const int width = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
    return width == U_EA_WIDE || width == U_EA_FULLWIDTH ? 2 : 1;
}

} // namespace text_chars

unsigned unicode_of_double_byte(unsigned code) {
    const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    UConverter* cnv = converter();
    if (cnv == nullptr)
        return 0xFFFD;
    ucnv_reset(cnv);
    UChar units[4];
    UErrorCode status = U_ZERO_ERROR;
    const std::int32_t n = ucnv_toUChars(cnv, units, 4, bytes, 2, &status);
    // The converter writes its substitution (U+001A or U+FFFD) for bytes
    // that map to nothing.
    if (U_FAILURE(status) || n != 1 || units[0] == 0x1A ||
        (units[0] >= 0xD800 && units[0] <= 0xDFFF))
        return 0xFFFD;
    return units[0];
}

int compare_locale(std::string_view a, std::string_view b) {
    if (a == b) {
        return 0;
    }
    const UCollator* collator = locale_collator();
    Scratch& s = scratch();
    if (collator == nullptr || !to_utf16(a, s.a) || !to_utf16(b, s.b)) {
        return compare_bytes(a, b);
    }
    return collate(collator, s.a, s.b);
}

int compare_no_case(std::string_view a, std::string_view b) {
    if (a == b) {
        return 0;
    }
    const UCollator* collator = no_case_collator();
    Scratch& s = scratch();
    if (collator == nullptr || !to_folded_utf16(a, s.a, s.foldedA) ||
        !to_folded_utf16(b, s.b, s.foldedB)) {
        return compare_bytes(a, b);
    }
    return collate(collator, s.foldedA, s.foldedB);
}

namespace {

// ascii_keys_apply tells whether the keys of ASCII text may come from the
// table, without converting the text or opening the collator. The table
// holds the weights of ICU 72; another ICU computes every key itself.
bool ascii_keys_apply() {
    static const bool apply =
        U_ICU_VERSION_MAJOR_NUM == 72 && ascii_collation::applies(collation_locale_name());
    return apply;
}

} // namespace

std::string locale_sort_key(std::string_view text) {
    // Most names are ASCII: their keys come from the table.
    const bool asciiKeys = ascii_keys_apply();
    const AsciiTable& ascii = ascii_table();
    if (asciiKeys && ascii.usable && text.size() <= kMaxIcuLength &&
        ascii_prefix_length(text) == text.size()) {
        std::string key;
        ascii_collation::append_key(key, text, ascii.units);
        return key;
    }
    const UCollator* collator = locale_collator();
    Scratch& s = scratch();
    if (collator == nullptr || !to_utf16(text, s.a)) {
        return std::string(text);
    }
    return sort_key(collator, s.a, text);
}

KeyLead locale_key_lead(std::string_view text) {
    if (!ascii_keys_apply() || text.size() > kMaxIcuLength)
        return KeyLead::unknown;
    if (ascii_prefix_length(text) == text.size())
        return ascii_table().usable ? KeyLead::low : KeyLead::unknown;
    // Only the first character counts: its weight leads the key.
    if (utf8_mode()) {
        const Utf8Char c = decode_utf8(text, 0);
        return c.valid && ascii_collation::is_kana_or_kanji(c.code) ? KeyLead::high
                                                                    : KeyLead::unknown;
    }
    if (text.size() < 2)
        return KeyLead::unknown;
    const unsigned code =
        static_cast<unsigned char>(text[0]) * 256u + static_cast<unsigned char>(text[1]);
    return ascii_collation::is_cp932_kana_or_kanji(code) ? KeyLead::high : KeyLead::unknown;
}

std::string no_case_sort_key(std::string_view text) {
    // Extensions and type names are mostly printable ASCII.
    if (ascii_keys_apply() && text.size() <= kMaxIcuLength && ascii_collation::is_printable(text)) {
        std::string key;
        ascii_collation::append_no_case_key(key, text);
        return key;
    }
    const UCollator* collator = no_case_collator();
    Scratch& s = scratch();
    if (collator == nullptr || !to_folded_utf16(text, s.a, s.foldedA)) {
        return std::string(text);
    }
    return sort_key(collator, s.foldedA, text);
}

} // namespace platform
