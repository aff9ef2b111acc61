// Number rules of settings values: base chosen by the text (decimal, "0x"
// hexadecimal, leading "0" octal), reading stops at the first character that
// does not fit, and a text without digits reads as 0. The settings files of
// the listing and the log's vv.path read their numbers by the same rules.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// parse_unsigned reads `text` as strtoul with base 0 does with a 32-bit
// result: leading white space, an optional sign (a minus negates modulo
// 2^32), overflow gives 4294967295.
std::uint32_t parse_unsigned(std::string_view text);

// parse_signed reads `text` as strtol with base 0 does with a 32-bit result:
// overflow gives 2147483647 or -2147483648.
std::int32_t parse_signed(std::string_view text);

// parse_digits reads a text of digits only (no blank, no sign) by the same
// rules, clipped to 2147483647; -1 when the text is empty or holds anything
// but the digits 0-9 ("010" is 8, "0x1a" is no text of digits).
int parse_digits(std::string_view text);

// NamedNumber is a name that a settings value may give in place of a number.
struct NamedNumber {
    const char* name;
    int number;
};

// parse_digits_or_name reads a text of digits as parse_digits does, or gives
// the number of the name of `names` that equals `text` (ASCII letter case
// ignored); -1 when it is neither.
int parse_digits_or_name(std::string_view text, std::span<const NamedNumber> names);
