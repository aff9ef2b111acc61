// ASCII collation keys without the collator: the primary-strength sort key
// that ICU's Japanese (and root) collation gives a text of characters below
// U+0080, read from a table, and the identical-strength key of printable
// ASCII text with its letters folded, built around it.
//
// For such a text the key is the plain concatenation of each character's
// key: no ASCII character expands, no contraction is made of ASCII
// characters alone, and no lead byte of their primary weights is
// compressible. The tests check the table against the collator for every
// pair of characters and a large set of longer texts, for each locale name
// below.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::ascii_collation {

// kLocales names the collation locales (as collation_locale_name gives
// them) whose primary keys of ASCII text the table reproduces.
inline constexpr std::string_view kLocales[] = {"ja", "ja_JP", "root", "en", "en_US"};

// applies tells whether the table holds the keys of `locale`.
bool applies(std::string_view locale);

// append_key appends the key of `text`, bytes below 0x80 each, without a
// terminating 0 byte. `unitOf` gives the UTF-16 unit (below 0x80) that the
// text layer's character set makes of each such byte.
void append_key(std::string& out, std::string_view text, const char16_t (&unitOf)[128]);

// kMaxLeadByte is the largest first byte of the table's keys (that of "Z"
// and "z"); the keys of kana and kanji start above it in every locale of
// kLocales.
inline constexpr unsigned char kMaxLeadByte = 0x5C;

// is_kana_or_kanji tells whether `code` is a hiragana (U+3041-U+3096), a
// katakana (U+30A1-U+30FA) or a unified ideograph (U+4E00-U+9FFF): the
// characters whose primary weights lead with a byte above kMaxLeadByte, also
// followed by any other character.
inline bool is_kana_or_kanji(char32_t code) {
    return (code >= 0x3041 && code <= 0x3096) || (code >= 0x30A1 && code <= 0x30FA) ||
           (code >= 0x4E00 && code <= 0x9FFF);
}

// is_cp932_kana_or_kanji tells the same of a code page 932 double-byte
// character, lead * 256 + trail: the hiragana and katakana rows and the two
// kanji levels of JIS X 0208, each cell of which is a character of the
// Unicode ranges above.
inline bool is_cp932_kana_or_kanji(unsigned code) {
    const unsigned trail = code & 0xFF;
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC)
        return false;
    // Lead bytes run 0x81-0x9F, then 0xE0-0xFC: level 2 spans the gap.
    return (code >= 0x829F && code <= 0x82F1) || (code >= 0x8340 && code <= 0x8396) ||
           (code >= 0x889F && code <= 0x9872) || (code >= 0x989F && code <= 0x9FFC) ||
           (code >= 0xE040 && code <= 0xEAA4);
}

// is_printable tells whether every byte of `text` lies in 0x20-0x7E, where
// each character set of the text layer is ASCII itself.
bool is_printable(std::string_view text);

// append_no_case_key appends the key that the no-case collator (identical
// strength, on text with its letters folded to small ones) gives a printable
// text (see is_printable), without a terminating 0 byte: the primary key,
// then the secondary and tertiary levels, which hold only common weights,
// then the identical level, the code points.
void append_no_case_key(std::string& out, std::string_view text);

} // namespace platform::ascii_collation
