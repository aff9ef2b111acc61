// Tests of the text layer switched to UTF-8: boundaries, codes, case folding,
// collation, display width and the repair of invalid text for the page.
#include "platform/text.h"

#include "support/host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Utf8Text switches the layer to UTF-8 for one test and back after it.
class Utf8Text : public ::testing::Test {
  protected:
    void SetUp() override { platform::set_text_charset(platform::Charset::utf8); }
    void TearDown() override { platform::set_text_charset(platform::Charset::shift_jis); }
};

TEST_F(Utf8Text, BoundariesAndCodes) {
    struct Row {
        std::string text;
        std::size_t pos;
        std::size_t length;
        unsigned code;
    };
    const Row table[] = {
        {"A", 0, 1, 0x41},
        {"\xc3\xa9", 0, 2, 0xe9},             // é
        {"\xe6\x97\xa5", 0, 3, 0x65e5},       // 日
        {"\xe3\x81\x82", 0, 3, 0x3042},       // あ
        {"\xf0\x9f\x98\x80", 0, 4, 0x1f600},  // emoji
        {"a\xe6\x97\xa5", 1, 3, 0x65e5},      // after ASCII
        {"\xc2\x80", 0, 2, 0x80},             // lowest two-byte
        {"\xef\xbf\xbf", 0, 3, 0xffff},       // highest three-byte
        {"\xf4\x8f\xbf\xbf", 0, 4, 0x10ffff}, // highest code point
        {"\x80", 0, 1, 0xdc80},               // stray continuation byte
        {"\xbf\x41", 0, 1, 0xdcbf},           // continuation before ASCII
        {"\xc0\xaf", 0, 1, 0xdcc0},           // overlong "/"
        {"\xc1\xbf", 0, 1, 0xdcc1},           // overlong
        {"\xe0\x80\xaf", 0, 1, 0xdce0},       // overlong three-byte
        {"\xf0\x8f\xbf\xbf", 0, 1, 0xdcf0},   // overlong four-byte
        {"\xed\xa0\x80", 0, 1, 0xdced},       // surrogate U+D800
        {"\xed\x9f\xbf", 0, 3, 0xd7ff},       // just below the surrogates
        {"\xf4\x90\x80\x80", 0, 1, 0xdcf4},   // above U+10FFFF
        {"\xf5\x80\x80\x80", 0, 1, 0xdcf5},   // no lead byte
        {"\xff", 0, 1, 0xdcff},
        {"\xe6\x97", 0, 1, 0xdce6}, // cut short by the end
        {"\xe6\x97"
         "A",
         0, 1, 0xdce6}, // cut short by ASCII
        {"\xe6\x97"
         "A",
         1, 1, 0xdc97},                     // its second byte alone
        {"\xf0\x9f\x98", 0, 1, 0xdcf0},     // truncated emoji
        {"\xe6\xe6\x97\xa5", 1, 3, 0x65e5}, // valid after an invalid lead
    };
    for (const Row& row : table) {
        EXPECT_EQ(platform::char_length(row.text, row.pos), row.length) << row.text;
        std::size_t length = 0;
        EXPECT_EQ(platform::char_code(row.text, row.pos, &length), row.code) << row.text;
        EXPECT_EQ(length, row.length) << row.text;
    }
    // Past the end a caller's loop still moves on.
    EXPECT_EQ(platform::char_length("ab", 2), 1u);
}

TEST_F(Utf8Text, FindLastCharSeesOnlyWholeCharacters) {
    struct Row {
        std::string text;
        char c;
        std::size_t from;
        std::size_t found;
    };
    const Row table[] = {
        {"a.b.c", '.', 0, 3},
        {"\xe6\x97\xa5.txt", '.', 0, 3},
        {"\xe6\x97\xa5/x", '/', 4, std::string::npos},
        {"a/b", '/', 0, 1},
        {"\x80x\x80", '\x80', 0, 2},                    // an invalid byte is a character of its own
        {"\xe6\x97\xa5", '\x97', 0, std::string::npos}, // never inside a sequence
    };
    for (const Row& row : table)
        EXPECT_EQ(platform::find_last_char(row.text, row.c, row.from), row.found) << row.text;
}

TEST_F(Utf8Text, FoldCaseIsUnicodeSimpleFolding) {
    struct Row {
        unsigned code;
        unsigned folded;
    };
    const Row table[] = {
        {'A', 'a'},       {'z', 'z'},         {0xc9, 0xe9},       // É
        {0x391, 0x3b1},   {0x410, 0x430},     {0xff21, 0xff41},   // Greek, Cyrillic, Ａ
        {0x212a, 'k'},    {0x17f, 's'},       {0x1e9e, 0xdf},     // Kelvin, long s, ẞ
        {0x3042, 0x3042}, {0x65e5, 0x65e5},   {0x1f600, 0x1f600}, // no case
        {0xdc80, 0xdc80}, {0x10400, 0x10428},                     // invalid byte, Deseret
    };
    // Windows lowers letters by its own table: the Kelvin sign, the long s
    // and the capital sharp s have no lower case there, and characters
    // beyond the basic plane none at all.
    const auto windows_keeps = [](unsigned code) {
        return code == 0x212a || code == 0x17f || code == 0x1e9e || code == 0x10400;
    };
    for (const Row& row : table) {
        const unsigned expected =
            host_is_windows && windows_keeps(row.code) ? row.code : row.folded;
        EXPECT_EQ(platform::fold_case(row.code), expected) << std::hex << row.code;
    }
}

TEST_F(Utf8Text, CollationOfKanaKanjiAndAccents) {
    // Windows differs from ICU in two places (the Windows columns): letter
    // case alone puts katakana before hiragana, and emoji after letters.
    constexpr int same = 2;
    struct Row {
        const char* a;
        const char* b;
        int locale;
        int noCase;
        int windowsLocale = same;
        int windowsNoCase = same;
    };
    const Row table[] = {
        {"\xe3\x81\x82", "\xe3\x81\x84", -1, -1},         // あ < い
        {"\xe3\x81\x82", "\xe3\x82\xa2", 0, -1, same, 1}, // あ = ア at primary strength
        {"\xe3\x82\xab", "\xe3\x82\xac", 0, -1},          // カ = ガ, voicing is secondary
        {"\xe3\x81\x8b", "\xe6\x97\xa5", -1, -1},         // kana before kanji
        {"cafe", "caf\xc3\xa9", 0, -1},                   // accent ignored at primary
        {"Caf\xc3\x89", "caf\xc3\xa9", 0, 0},             // case only
        {"\xc3\xa9t\xc3\xa9", "ezz", -1, -1},             // é sorts as e, not after z
        {"Zebra",
         "\xc3\x89"
         "cole",
         1, 1},
        {"a", "\xf0\x9f\x98\x80", 1, 1, -1, -1}, // emoji before letters
    };
    for (Row row : table) {
        if (host_is_windows) {
            row.locale = row.windowsLocale == same ? row.locale : row.windowsLocale;
            row.noCase = row.windowsNoCase == same ? row.noCase : row.windowsNoCase;
        }
        EXPECT_EQ(platform::compare_locale(row.a, row.b), row.locale) << row.a << " " << row.b;
        EXPECT_EQ(platform::compare_locale(row.b, row.a), -row.locale) << row.a;
        EXPECT_EQ(platform::compare_no_case(row.a, row.b), row.noCase) << row.a << " " << row.b;
        const std::string ka = platform::locale_sort_key(row.a);
        const std::string kb = platform::locale_sort_key(row.b);
        EXPECT_EQ((ka > kb) - (ka < kb), row.locale) << row.a << " " << row.b;
        const std::string na = platform::no_case_sort_key(row.a);
        const std::string nb = platform::no_case_sort_key(row.b);
        EXPECT_EQ((na > nb) - (na < nb), row.noCase) << row.a << " " << row.b;
    }
}

TEST_F(Utf8Text, LeadClassesOrderTheKeys) {
    // Kana and kanji lead their keys above every ASCII key; Latin letters
    // with marks, the prolonged sound mark and emoji are left to the keys.
    using platform::KeyLead;
    const std::vector<std::string> texts = {
        "",
        "file0",
        "Z~",
        "\xe3\x81\x82",
        "\xe3\x82\xbd"
        "0",
        "\xe6\x97\xa5",
        "\xe9\xbf\xbf",
        "\xc3\xa9",
        "\xe3\x83\xbc",
        "\xf0\x9f\x8e\xb5",
        "a\xe3\x81\x82",
        "\xef\xbc\xa1",
        "\xe3\x81",
        "\xef\xbd\xb1",
    };
    const KeyLead expected[] = {
        KeyLead::low,     KeyLead::low,     KeyLead::low,     KeyLead::high,    KeyLead::high,
        KeyLead::high,    KeyLead::high,    KeyLead::unknown, KeyLead::unknown, KeyLead::unknown,
        KeyLead::unknown, KeyLead::unknown, KeyLead::unknown, KeyLead::unknown,
    };
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const KeyLead lead = platform::locale_key_lead(texts[i]);
        if (!host_is_windows) {
            EXPECT_EQ(lead, expected[i]) << i;
        }
        if (lead != KeyLead::low)
            continue;
        const std::string low = platform::locale_sort_key(texts[i]);
        for (const std::string& text : texts) {
            if (platform::locale_key_lead(text) != KeyLead::high)
                continue;
            const std::string high = platform::locale_sort_key(text);
            EXPECT_TRUE(low.empty() ||
                        static_cast<unsigned char>(low[0]) < static_cast<unsigned char>(high[0]))
                << i << " / " << text;
        }
    }
}

TEST_F(Utf8Text, CollationDiffersFromShiftJisReading) {
    // 日 is E6 97 A5; read as code page 932 the bytes are unrelated
    // characters. In UTF-8 the kana あ (E3 81 82) sorts before it.
    EXPECT_LT(platform::compare_locale("\xe3\x81\x82", "\xe6\x97\xa5"), 0);
    // Invalid bytes neither crash nor compare equal to the same text
    // without them.
    // Windows compares the replacement character that an invalid byte
    // becomes as nothing: there the two compare equal, and the sort's byte
    // order of equal names decides.
    EXPECT_EQ(platform::compare_no_case("a\xff", "a") != 0, !host_is_windows);
    EXPECT_EQ(platform::compare_locale("x\x80", "x\x80"), 0);
}

TEST_F(Utf8Text, DisplayWidth) {
    struct Row {
        std::string text;
        std::size_t width;
    };
    const Row table[] = {
        {"", 0},
        {"abc", 3},
        {"\xe6\x97\xa5\xe6\x9c\xac", 4}, // 日本: wide
        {"\xe3\x81\x82", 2},             // あ
        {"\xef\xbd\xb1", 1},             // half-width katakana ｱ
        {"\xef\xbc\xa1", 2},             // full-width Ａ
        {"caf\xc3\xa9", 4},              // precomposed é
        {"cafe\xcc\x81", 4},             // e + combining acute
        {"a\xe2\x80\x8b"
         "b",
         2},                     // zero-width space (format)
        {"\xf0\x9f\x98\x80", 2}, // emoji: wide
        {"\xe2\x9c\x93", 1},     // check mark: neutral
        {"a\xff"
         "b",
         3},             // an invalid byte is one column
        {"\xe6\x97", 2}, // truncated: two invalid bytes
    };
    for (const Row& row : table)
        EXPECT_EQ(platform::display_width(row.text), row.width) << row.text;
}

TEST_F(Utf8Text, PageTextReplacesEachInvalidByte) {
    struct Row {
        std::string text;
        std::string page;
    };
    const std::string fffd = "\xef\xbf\xbd";
    const Row table[] = {
        {"plain", "plain"},
        {"\xe6\x97\xa5\xf0\x9f\x98\x80", "\xe6\x97\xa5\xf0\x9f\x98\x80"},
        {"a\xffz", "a" + fffd + "z"},
        {"\xc0\xaf", fffd + fffd},
        {"\xed\xa0\x80", fffd + fffd + fffd},
        {"x\xe6\x97", "x" + fffd + fffd},
        {"\xe6\x97<", fffd + fffd + "<"},
        {"\x80\xe3\x81\x82", fffd + "\xe3\x81\x82"},
        // Bidirectional controls: one U+FFFD per character.
        {"invoice\xe2\x80\xae"
         "fdp.exe",
         "invoice" + fffd + "fdp.exe"}, // U+202E
        {"\xd8\x9c|\xe2\x80\x8e|\xe2\x80\x8f", fffd + "|" + fffd + "|" + fffd},
        {"\xe2\x80\xaa\xe2\x81\xa6\xe2\x81\xa9", fffd + fffd + fffd}, // U+202A U+2066 U+2069
        // Their neighbours stay: U+061B, U+200D, U+2029, U+202F, U+2065, U+206A.
        {"\xd8\x9b\xe2\x80\x8d\xe2\x80\xa9\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa",
         "\xd8\x9b\xe2\x80\x8d\xe2\x80\xa9\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa"},
    };
    for (const Row& row : table) {
        EXPECT_EQ(platform::page_text(row.text), row.page) << row.text;
        EXPECT_EQ(platform::is_page_text(row.text), row.text == row.page) << row.text;
    }
    // A control takes the one column of the U+FFFD shown for it.
    EXPECT_EQ(platform::display_width("a\xe2\x80\xae"
                                      "b"),
              3u);
}

TEST(ShiftJisText, WidthAndPageTextAreBytes) {
    ASSERT_EQ(platform::text_charset(), platform::Charset::shift_jis);
    EXPECT_EQ(platform::display_width("\x93\xfa\x96\x7b"), 4u);
    EXPECT_EQ(platform::display_width("\xb1\xb2"), 2u);
    EXPECT_TRUE(platform::is_page_text("\x81\xff\x80"));
    EXPECT_EQ(platform::page_text("\x81\xff\x80"), "\x81\xff\x80");
    // The UTF-8 lead byte E6 is a Shift_JIS lead byte: 日 splits differently.
    EXPECT_EQ(platform::char_length("\xe6\x97\xa5", 0), 2u);
    EXPECT_EQ(platform::fold_case(0xc9), 0xc9u);
}

} // namespace
