// The ASCII case rule every byte comparison of names, headers and settings
// keys shares: only A-Z and a-z are letters, at any width of character code.
#include "platform/common/ascii.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using platform::ascii::equal_no_case;
using platform::ascii::is_letter;
using platform::ascii::lower;

TEST(AsciiCase, OnlyTheLettersFoldAndWideCodesKeepTheirHighBits) {
    struct Row {
        std::uint32_t code;
        std::uint32_t lowered;
        bool letter;
    };
    const Row rows[] = {
        {'A', 'a', true},        {'Z', 'z', true},    {'a', 'a', true},  {'z', 'z', true},
        {'@', '@', false},       {'[', '[', false},   {'`', '`', false}, {'{', '{', false},
        {'0', '0', false},       {0xC1, 0xC1, false}, // a byte above 0x7F
        {0x141, 0x141, false},                        // low byte 'A'
        {0x8260, 0x8260, false},                      // Shift_JIS full-width A: not an ASCII letter
        {0xFF21, 0xFF21, false},                      // U+FF21 full-width A
    };
    for (const Row& r : rows) {
        EXPECT_EQ(lower(r.code), r.lowered) << std::hex << r.code;
        EXPECT_EQ(lower(static_cast<char16_t>(r.code)), static_cast<char16_t>(r.lowered))
            << std::hex << r.code;
        EXPECT_EQ(is_letter(r.code), r.letter) << std::hex << r.code;
        if (r.code <= 0xFF) {
            const char byte = static_cast<char>(r.code);
            EXPECT_EQ(lower(byte), static_cast<char>(r.lowered)) << std::hex << r.code;
            EXPECT_EQ(is_letter(byte), r.letter) << std::hex << r.code;
        }
    }
    // Characters 0x20 apart that are no letters stay apart.
    EXPECT_TRUE(equal_no_case("Content-TYPE", "content-type"));
    EXPECT_FALSE(equal_no_case("@", "`"));
    EXPECT_FALSE(equal_no_case("[x]", "{x}"));
    EXPECT_FALSE(equal_no_case("\x82\x60", "\x82\x80"));
    EXPECT_FALSE(equal_no_case("UTF-8", "UTF-"));
}

} // namespace
