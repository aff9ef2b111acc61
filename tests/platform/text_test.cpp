// Tests of the character layer of code page 932: boundaries, codes, case folding.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CharLength, BoundariesAndCodes) {
    struct Row {
        std::string text;
        std::size_t pos;
        std::size_t length;
        unsigned code;
    };
    const Row table[] = {
        {"A", 0, 1, 0x41},
        {"ab", 1, 1, 0x62},
        {"\x82\xa0", 0, 2, 0x82a0},         // hiragana a
        {"\x95\x5c", 0, 2, 0x955c},         // trail byte 0x5C is no backslash
        {"\x83\x41", 0, 2, 0x8341},         // trail byte 0x41 is no letter
        {"\x81\x40", 0, 2, 0x8140},         // lowest lead and trail
        {"\x9f\xfc", 0, 2, 0x9ffc},         // end of the first lead range
        {"\xe0\x80", 0, 2, 0xe080},         // second lead range
        {"\xfc\xfc", 0, 2, 0xfcfc},         // highest lead and trail
        {"\x82\xa0\x82\xa2", 2, 2, 0x82a2}, // second character
        {"\x81\x20", 0, 1, 0x81},           // invalid trail
        {"\x81\x7f", 0, 1, 0x81},           // 0x7F is no trail
        {"\x81\xfd", 0, 1, 0x81},           // 0xFD is no trail
        {"\x81\x3f", 0, 1, 0x81},           // below the trail range
        {"a\x81", 1, 1, 0x81},              // lead byte at the very end
        {std::string("\x81\0", 2), 0, 1, 0x81},
        {"\xa0\x40", 0, 1, 0xa0}, // 0xA0 is no lead
        {"\xb1", 0, 1, 0xb1},     // half-width katakana
        {"\x80\x40", 0, 1, 0x80},
        {"\xfd\x40", 0, 1, 0xfd},
        {"\xff\x40", 0, 1, 0xff},
        {"\x82\xa0", 1, 1, 0xa0}, // a position inside a character
        {"ab", 2, 1, 0},          // past the end
        {"", 0, 1, 0},
    };
    for (const auto& row : table) {
        EXPECT_EQ(platform::char_length(row.text, row.pos), row.length)
            << testing::PrintToString(row.text) << " at " << row.pos;
        std::size_t length = 99;
        EXPECT_EQ(platform::char_code(row.text, row.pos, &length), row.code)
            << testing::PrintToString(row.text) << " at " << row.pos;
        EXPECT_EQ(length, row.length);
        EXPECT_EQ(platform::char_code(row.text, row.pos), row.code);
    }
}

TEST(FoldCase, Table) {
    struct Row {
        unsigned code;
        unsigned folded;
    };
    const Row table[] = {
        {'A', 'a'},       {'Z', 'z'},       {'a', 'a'},       {'@', '@'},         {'[', '['},
        {'`', '`'},       {0xc1, 0xc1},     {0x8260, 0x8281}, {0x8279, 0x829a},   {0x825f, 0x825f},
        {0x827a, 0x827a}, {0x8281, 0x8281}, {0x839f, 0x83bf}, {0x83b6, 0x83d6},   {0x83b7, 0x83b7},
        {0x83bf, 0x83bf}, {0x8440, 0x8470}, {0x844e, 0x847e}, {0x844f, 0x8480},   {0x8460, 0x8491},
        {0x8461, 0x8461}, {0x8470, 0x8470}, {0x82a0, 0x82a0}, {0x10041, 0x10041},
    };
    for (const auto& row : table) {
        EXPECT_EQ(platform::fold_case(row.code), row.folded) << std::hex << row.code;
    }
}

} // namespace
