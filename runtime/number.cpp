// Number rules of settings values, written out for a 32-bit result so that
// they do not depend on the width of long.
#include "runtime/number.h"

#include "platform/common/ascii.h"

#include <climits>
#include <cstdint>
#include <string_view>

namespace {

// Magnitude is the sign and the digits of a text, with the digits' value held
// only as far as it can matter for a 32-bit result.
struct Magnitude {
    bool negative = false;
    std::uint64_t value = 0; // never above 2^32: larger runs set overflow
    bool overflow = false;
};

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// digit_value returns the value of `c` as a digit, or 99 when it is none.
unsigned digit_value(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'a' && c <= 'z') {
        return static_cast<unsigned>(c - 'a') + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return static_cast<unsigned>(c - 'A') + 10;
    }
    return 99;
}

Magnitude read_magnitude(std::string_view text) {
    constexpr std::uint64_t limit = std::uint64_t{1} << 32;
    Magnitude m;
    std::size_t pos = 0;
    while (pos < text.size() && is_space(text[pos])) {
        ++pos;
    }
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        m.negative = text[pos] == '-';
        ++pos;
    }
    unsigned base = 10;
    if (pos < text.size() && text[pos] == '0') {
        // "0x" counts as a prefix only with a hex digit behind it; otherwise
        // the "0" is an octal number on its own and the "x" ends it.
        if (pos + 2 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
            digit_value(text[pos + 2]) < 16) {
            base = 16;
            pos += 2;
        } else {
            base = 8;
        }
    }
    for (; pos < text.size(); ++pos) {
        const unsigned digit = digit_value(text[pos]);
        if (digit >= base) {
            break;
        }
        if (!m.overflow) {
            // value stays <= 2^32, so value * 16 + 15 fits in 64 bits.
            m.value = m.value * base + digit;
            if (m.value > limit) {
                m.overflow = true;
                m.value = limit;
            }
        }
    }
    return m;
}

} // namespace

std::uint32_t parse_unsigned(std::string_view text) {
    const Magnitude m = read_magnitude(text);
    if (m.overflow || m.value > UINT32_MAX) {
        return UINT32_MAX;
    }
    const auto value = static_cast<std::uint32_t>(m.value);
    return m.negative ? static_cast<std::uint32_t>(0u - value) : value;
}

std::int32_t parse_signed(std::string_view text) {
    const Magnitude m = read_magnitude(text);
    if (m.negative) {
        if (m.overflow || m.value >= std::uint64_t{1} << 31) {
            return INT32_MIN;
        }
        return -static_cast<std::int32_t>(m.value);
    }
    if (m.overflow || m.value > INT32_MAX) {
        return INT32_MAX;
    }
    return static_cast<std::int32_t>(m.value);
}

int parse_digits(std::string_view text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return -1;
    }
    const std::uint32_t value = parse_unsigned(text);
    return value > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

int parse_digits_or_name(std::string_view text, std::span<const NamedNumber> names) {
    const int number = parse_digits(text);
    if (number >= 0) {
        return number;
    }
    for (const NamedNumber& entry : names) {
        if (platform::ascii::equal_no_case(text, entry.name)) {
            return entry.number;
        }
    }
    return -1;
}
