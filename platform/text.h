// Text layer: character boundaries, case folding, display width and locale
// comparison of the system's byte strings: Shift_JIS (code page 932) unless
// the program switches the layer to UTF-8 at start.
//
// Every double-byte-aware step of Dirvane asks this one place where a
// character starts and ends, so that the character set changes here
// without touching the callers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Charset names the character set of the system's text.
enum class Charset {
    shift_jis, // code page 932: the default
    utf8,
};

// set_text_charset switches the text layer; the program calls it once at
// start, before any text is compared. Every function below follows it.
void set_text_charset(Charset charset);

// text_charset returns the character set that set_text_charset chose.
Charset text_charset();

// char_length returns the byte length of the character that starts at `pos`
// of `text`. Shift_JIS: 1 or 2; a lead byte without a valid trail byte behind
// it (also a lead byte at the very end) counts as a character of one byte.
// UTF-8: 1 to 4; a byte that starts no valid sequence (a stray trail byte, a
// truncated, overlong or surrogate sequence, a code above U+10FFFF) counts as
// a character of one byte.
std::size_t char_length(std::string_view text, std::size_t pos);

// char_code returns the character that starts at `pos` as a number.
// Shift_JIS: the byte value for a single-byte character, lead * 256 + trail
// for a double-byte one. UTF-8: the code point; a byte b of an invalid
// sequence gives 0xDC00 + b, a lone surrogate that no valid text decodes to.
// Stores the character's byte length in *length when length is not null.
unsigned char_code(std::string_view text, std::size_t pos, std::size_t* length = nullptr);

// find_last_char returns the position of the last character `c` (a
// single-byte character) at or after `from`, or npos. The second byte of a
// double-byte character is never taken for `c`.
std::size_t find_last_char(std::string_view text, char c, std::size_t from = 0);

// fold_case maps a character code (as char_code returns it) to its lower-case
// form. Shift_JIS: ASCII capitals, and the double-byte full-width Latin, Greek
// and Cyrillic capitals to their small letters. UTF-8: Unicode simple case
// folding. Every other code is returned as is.
unsigned fold_case(unsigned code);

// unicode_of_double_byte returns the Unicode character of a Shift_JIS
// double-byte character (lead * 256 + trail, as char_code gives it), or
// U+FFFD when code page 932 maps it to none.
unsigned unicode_of_double_byte(unsigned code);

// display_width returns the number of terminal columns `text` takes.
// Shift_JIS: its byte length (a double-byte character is two columns).
// UTF-8: East Asian wide and full-width characters count 2, combining marks
// and format characters (zero-width) 0, every other character, an invalid
// byte and a bidirectional control (shown as U+FFFD) included, 1.
std::size_t display_width(std::string_view text);

// is_page_text tells whether `text` can go on the page as it is: always for
// Shift_JIS; for UTF-8 when it holds no invalid sequence and no bidirectional
// control (U+061C, U+200E, U+200F, U+202A-U+202E, U+2066-U+2069).
bool is_page_text(std::string_view text);

// page_text returns `text` fit for the page: for UTF-8 with every byte of an
// invalid sequence and every bidirectional control replaced by U+FFFD, so no
// name can reorder the text around it; Shift_JIS text unchanged.
std::string page_text(std::string_view text);

// compare_locale compares two texts (converted from the text layer's
// character set) the way the user's default locale orders them, ignoring letter case, non-spacing
// marks, kana type and width. Returns -1, 0 or 1.
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

// KeyLead is what is known of the first byte of a text's locale_sort_key
// without working the key out. Every `low` key (an empty one among them)
// orders before every `high` key, whatever bytes follow either: their first
// bytes differ.
enum class KeyLead {
    unknown,
    low,  // a text of characters below 0x80 (letters, digits, punctuation)
    high, // a text that starts with a kana or a kanji
};

// locale_key_lead tells which of the classes above `text` belongs to, so that
// a sort can order most names of different scripts without opening the
// collator. Texts that fit neither, or a system that cannot tell, give
// `unknown`.
KeyLead locale_key_lead(std::string_view text);

} // namespace platform
