// Number rules of settings values: base from the text, 32-bit limits.
#include "runtime/number.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

struct UnsignedCase {
    std::string text;
    std::uint32_t expected;
};

TEST(ParseUnsigned, BaseSignLimitsAndStop) {
    const std::string ones(5000, '1');
    const std::string zeros(5000, '0');
    const UnsignedCase cases[] = {
        {"", 0},
        {"0", 0},
        {"42", 42},
        {"010", 8},
        {"07", 7},
        {"089", 0}, // octal: 8 is not a digit of the base
        {"0x1E", 30},
        {"0X1e", 30},
        {"0x", 0},
        {"0xg", 0},
        {"0x1G", 1},
        {"30s", 30},
        {"1.5", 1},
        {"1 2", 1},
        {"abc", 0},
        {"+7", 7},
        {"-1", 4294967295u},
        {"-0x10", 4294967280u},
        {"- 5", 0},
        {"+-5", 0},
        {" 12", 12},
        {"\t\n\v\f\r12", 12},
        {"\x80"
         "12",
         0},
        {"4294967295", 4294967295u},
        {"4294967296", 4294967295u},
        {"0xFFFFFFFF", 4294967295u},
        {"0x100000000", 4294967295u},
        {"037777777777", 4294967295u},
        {"040000000000", 4294967295u},
        {"-4294967295", 1},
        {"-4294967296", 4294967295u}, // overflow of the magnitude wins over the sign
        {"99999999999999999999999", 4294967295u},
        {ones, 4294967295u},
        {"-" + ones, 4294967295u},
        {zeros, 0},
        {zeros + "17", 15},
        {"0x" + zeros + "ff", 255},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse_unsigned(c.text), c.expected) << "text: " << c.text.substr(0, 40);
    }
}

struct SignedCase {
    std::string text;
    std::int32_t expected;
};

TEST(ParseSigned, BaseSignLimitsAndStop) {
    const std::string nines(5000, '9');
    const SignedCase cases[] = {
        {"", 0},
        {"yes", 0},
        {"true", 0},
        {"1", 1},
        {"-1", -1},
        {"0x10", 16},
        {"-010", -8},
        {"+0X7f", 127},
        {" \n-12", -12},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"0x80000000", INT32_MAX},
        {"4294967296", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-0x80000000", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {nines, INT32_MAX},
        {"-" + nines, INT32_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse_signed(c.text), c.expected) << "text: " << c.text.substr(0, 40);
    }
}

// A text of digits only (a log level, a special folder's number) reads by
// the same rules; anything else in it makes it no number, unless it is one
// of the names, whose letter case does not count.
TEST(ParseDigitsOrName, DigitsOnlyClippedToIntOrAName) {
    static constexpr NamedNumber names[] = {{"INFO", 6}, {"lvINFO", 6}, {"APPDATA", 26}};
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"7", 7},
        {"010", 8},
        {"089", 0},
        {"0x1a", -1},
        {"", -1},
        {" 6", -1},
        {"6 ", -1},
        {"+6", -1},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"99999999999", INT32_MAX},
        {"info", 6},
        {"LVinfo", 6},
        {"appData", 26},
        {"INFO ", -1},
        {"INF", -1},
        {"lvAPPDATA", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse_digits_or_name(c.text, names), c.expected) << "text: " << c.text;
    }
}

} // namespace
