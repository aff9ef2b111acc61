// Character-wise Shift_JIS comparisons, with and without letter case.
#include "cgi/mbstring.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

struct CompareCase {
    std::string a;
    std::string b;
    int exact;  // sign of compare_mb
    int noCase; // sign of compare_mb_no_case
};

TEST(CompareMb, CharacterOrderAndCaseFolding) {
    const CompareCase cases[] = {
        {"", "", 0, 0},
        {"", "a", -1, -1},
        {"abc", "abc", 0, 0},
        {"ab", "abc", -1, -1},
        {"abc", "ab", 1, 1},
        {"abc", "abd", -1, -1},
        {"b", "abc", 1, 1},
        // A single byte compares as its value against lead * 256 + trail:
        // half-width katakana 0xB1 is below the double-byte 0x8140.
        {"\xB1", "\x81\x40", -1, -1},
        {"\x81\x40", "\xB1", 1, 1},
        {"\xB1z", "\x81\x40", -1, -1},
        // ASCII letters fold to lower case, so "_" (0x5F) sorts before them.
        {"A", "a", -1, 0},
        {"Key", "kEY", -1, 0},
        {"ABC", "abd", -1, -1},
        {"_", "A", 1, -1},
        {"[", "a", -1, -1},
        // Full-width capital A (0x8260) and small a (0x8281).
        {"\x82\x60", "\x82\x81", -1, 0},
        {"x\x82\x60\x82\x61", "X\x82\x81\x82\x82", 1, 0},
        {"\x82\x60", "\x82\x82", -1, -1},
        // A trail byte in the letter range is not an ASCII letter.
        {"\x94\x41", "\x94\x61", -1, -1},
        // A lead byte at the end is a character of one byte.
        {"a\x82", "a\x82", 0, 0},
        {"a\x82", "a\x82\x60", -1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sign(compare_mb(c.a, c.b)), c.exact) << c.a << " / " << c.b;
        EXPECT_EQ(sign(compare_mb_no_case(c.a, c.b)), c.noCase) << c.a << " / " << c.b;
        EXPECT_EQ(sign(compare_mb(c.b, c.a)), -c.exact) << c.b << " / " << c.a;
        EXPECT_EQ(sign(compare_mb_no_case(c.b, c.a)), -c.noCase) << c.b << " / " << c.a;
    }
}

TEST(CompareMb, NoCaseLessOrdersThroughFolding) {
    const NoCaseLess less;
    EXPECT_FALSE(less("ABC", "abc"));
    EXPECT_FALSE(less("abc", "ABC"));
    EXPECT_TRUE(less("abc", "ABD"));
}

} // namespace
