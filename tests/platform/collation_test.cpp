// Tests of the locale comparisons and their sort keys. The tests run with
// LC_ALL, LC_COLLATE and LANG empty, that is in the Japanese default locale.
#include "platform/text.h"

#include "support/host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kDiffer = 2; // any non-zero result, the same either way round

struct Pair {
    std::string a;
    std::string b;
    int expected;
};

std::string show(const std::string& s) {
    return testing::PrintToString(s);
}

void check_table(int (*compare)(std::string_view, std::string_view), const Pair* table,
                 std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const Pair& p = table[i];
        const int ab = compare(p.a, p.b);
        const int ba = compare(p.b, p.a);
        if (p.expected == kDiffer) {
            EXPECT_NE(ab, 0) << show(p.a) << " vs " << show(p.b);
        } else {
            EXPECT_EQ(ab, p.expected) << show(p.a) << " vs " << show(p.b);
        }
        EXPECT_EQ(ba, -ab) << show(p.a) << " vs " << show(p.b);
        EXPECT_TRUE(ab == -1 || ab == 0 || ab == 1) << ab;
    }
}

const Pair kLocaleTable[] = {
    {"a", "A", 0},
    {"abc", "abd", -1},
    {"a", "B", -1},          // letters before case: byte order would say 'B' < 'a'
    {"file10", "file2", -1}, // no numeric order here
    {"", "", 0},
    {"", "a", -1},
    {"\x82\x60\x82\x61\x82\x62", "abc", 0}, // full-width ABC
    {"\x82\x81\x82\x82\x82\x83", "ABC", 0}, // full-width abc
    {"\x82\xa0", "\x83\x41", 0},            // hiragana a, katakana a
    {"\xb1", "\x83\x41", 0},                // half-width, full-width katakana a
    {"\x82\xa9", "\x82\xaa", 0},            // ka, ga: the voicing mark is ignored
    {"\x82\xa0", "\x82\xa2", -1},           // a before i
    {"abc\x82\xa0", "ABC\x83\x41", 0},      // ASCII run, then kana
    {"z", "\x82\xa0", -1},                  // Latin before kana
    {"\x88\x9f", "\x88\xea", -1},           // Japanese kanji order
    {"\x83\x9f", "\x83\xbf", 0},            // Greek capital, small alpha
    {"\x84\x40", "\x84\x70", 0},            // Cyrillic capital, small a
};

const Pair kNoCaseTable[] = {
    {"ABC", "abc", 0},
    {"abc", "abd", -1},
    {"a", "B", -1},
    {".TXT", ".txt", 0},
    {"\xb1", "\x83\x41", kDiffer},     // width is not case
    {"\x82\xa0", "\x83\x41", kDiffer}, // neither is kana type
    {"\x82\xa9", "\x82\xaa", kDiffer}, // nor a voicing mark
    {"\x82\x60", "\x82\x81", 0},       // full-width A, a
    {"\x82\x60", "a", kDiffer},
    {"\x83\x9f", "\x83\xbf", 0}, // Greek alpha
    {"\x84\x40", "\x84\x70", 0}, // Cyrillic a
    {"\x84\x4f", "\x84\x80", 0}, // Cyrillic o, past the gap at 0x847F
    {"Stra\x82\xa0", "STRA\x82\xa0", 0},
    {"a\x01", "a", kDiffer},
    {"", "", 0},
};

TEST(CompareLocale, IgnoresCaseWidthKanaTypeAndMarks) {
    check_table(platform::compare_locale, kLocaleTable, std::size(kLocaleTable));
}

TEST(CompareNoCase, IgnoresLetterCaseOnly) {
    check_table(platform::compare_no_case, kNoCaseTable, std::size(kNoCaseTable));
}

// ASCII text is widened without the converter, alone or ahead of other
// text; behind a kana the same bytes go through the converter. A common
// first character must not change how two texts compare.
TEST(CompareLocale, AsciiOrderAsThroughTheConverter) {
    const std::string kana = "\x82\xa0";
    for (auto compare : {platform::compare_locale, platform::compare_no_case}) {
        for (int c = 0; c < 0x80; ++c) {
            for (int d = 0; d < 0x80; ++d) {
                const std::string a(1, static_cast<char>(c));
                const std::string b(1, static_cast<char>(d));
                ASSERT_EQ(compare(a, b), compare(kana + a, kana + b)) << c << " " << d;
                ASSERT_EQ(compare(a + kana, b + kana), compare(kana + a + kana, kana + b + kana))
                    << c << " " << d;
            }
        }
    }
}

// key_texts is a mix for the sort-key checks: every pair of it is compared.
std::vector<std::string> key_texts() {
    std::vector<std::string> texts = {
        "",
        "a",
        "A",
        "abc",
        "ABC",
        "abd",
        "file2",
        "file10",
        "File10",
        "file12345",
        "a b",
        "a-b",
        "\x82\x60\x82\x61\x82\x62",
        "\x82\x81\x82\x82\x82\x83",
        "\x82\xa0",
        "\x83\x41",
        "\xb1",
        "\x82\xa9",
        "\x82\xaa",
        "\x8e\xca\x90\x5e\x83\x74\x83\x40\x83\x43\x83\x8b", // photo file, kanji and katakana
        "\x95\x5c.txt",
        "\x88\x9f",
        "\x88\xea",
        "\x83\x9f",
        "\x83\xbf",
        "\x84\x4f",
        "\x84\x80",
        // Invalid bytes are substituted, never a crash.
        "\x81",
        "\x81\x20",
        "\xff\xfe\x80",
        "\xa0",
        std::string("a\0b", 3),
        std::string(400, 'x'), // longer than the first buffers
        std::string(300, 'X') + "\x82\xa0",
    };
    std::string longKana;
    for (int i = 0; i < 200; ++i) {
        longKana += "\x83\x41\x82\xa9";
    }
    texts.push_back(longKana);
    return texts;
}

int key_order(const std::string& a, const std::string& b) {
    const int r = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (r != 0) {
        return r < 0 ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

void check_keys(int (*compare)(std::string_view, std::string_view),
                std::string (*key)(std::string_view)) {
    const std::vector<std::string> texts = key_texts();
    std::vector<std::string> keys;
    for (const auto& t : texts) {
        keys.push_back(key(t));
        EXPECT_EQ(keys.back(), key(t)) << "key of " << show(t) << " changes";
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        for (std::size_t j = 0; j < texts.size(); ++j) {
            EXPECT_EQ(key_order(keys[i], keys[j]), compare(texts[i], texts[j]))
                << show(texts[i]) << " vs " << show(texts[j]);
        }
    }
}

TEST(LocaleSortKey, OrdersLikeCompareLocale) {
    check_keys(platform::compare_locale, platform::locale_sort_key);
}

TEST(NoCaseSortKey, OrdersLikeCompareNoCase) {
    check_keys(platform::compare_no_case, platform::no_case_sort_key);
}

// expect_lead_order checks the promise of the lead classes on the real keys:
// a low key is empty or starts below the first byte of every high key.
void expect_lead_order(const std::vector<std::string>& texts) {
    using platform::KeyLead;
    for (const std::string& low : texts) {
        if (platform::locale_key_lead(low) != KeyLead::low)
            continue;
        const std::string lowKey = platform::locale_sort_key(low);
        for (const std::string& high : texts) {
            if (platform::locale_key_lead(high) != KeyLead::high)
                continue;
            const std::string highKey = platform::locale_sort_key(high);
            ASSERT_FALSE(highKey.empty()) << show(high);
            EXPECT_TRUE(lowKey.empty() || static_cast<unsigned char>(lowKey[0]) <
                                              static_cast<unsigned char>(highKey[0]))
                << show(low) << " / " << show(high);
        }
    }
}

TEST(LocaleKeyLead, LowKeysStartBelowHighKeys) {
    expect_lead_order({"",
                       "0",
                       "file0",
                       "Z",
                       "zz~",
                       "~",
                       "IMG_0",
                       "\x7f",
                       " ",
                       "{x}",
                       "\x83\x5c",
                       "\x83\x5c"
                       "0",
                       "\x82\xa0",
                       "\x82\xf1",
                       "\x83\x94",
                       "\x88\x9f",
                       "\x93\xfa\x96\x7b",
                       "\xea\xa4",
                       "\x83\x41\x81\x5b",
                       "\x82\x60",
                       "\x81\x5b",
                       "\xb1",
                       "a\x83\x5c"});
}

TEST(SortKeys, SameFromSeveralThreads) {
    const std::vector<std::string> texts = key_texts();
    std::vector<std::string> expected;
    for (const auto& t : texts) {
        expected.push_back(platform::locale_sort_key(t) + "|" + platform::no_case_sort_key(t));
    }
    auto work = [&](std::vector<std::string>& got) {
        for (int round = 0; round < 50; ++round) {
            for (const auto& t : texts) {
                got.push_back(platform::locale_sort_key(t) + "|" + platform::no_case_sort_key(t));
            }
        }
    };
    std::vector<std::string> got1, got2;
    std::thread t1(work, std::ref(got1));
    std::thread t2(work, std::ref(got2));
    t1.join();
    t2.join();
    ASSERT_EQ(got1.size(), texts.size() * 50);
    ASSERT_EQ(got2.size(), texts.size() * 50);
    for (std::size_t i = 0; i < got1.size(); ++i) {
        ASSERT_EQ(got1[i], expected[i % texts.size()]) << i;
        ASSERT_EQ(got2[i], expected[i % texts.size()]) << i;
    }
}

// The collation locale comes from the first non-empty one of LC_ALL,
// LC_COLLATE and LANG. Each row runs in a process of its own, because the
// collators are opened once per process. The probe: Japanese orders the kanji
// "a" (0x889F) before "ichi" (0x88EA), other locales by code point the other
// way round.
TEST(CompareLocaleDeathTest, LocaleFromTheEnvironment) {
    if (host_is_windows) {
        GTEST_SKIP() << "Windows takes the user's locale from its own settings";
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Row {
        const char* lcAll;
        const char* lcCollate;
        const char* lang;
        int expected;
    };
    const Row table[] = {
        {"", "", "", -1},
        {"", "", "en_US.UTF-8", 1},
        {"", "en_US", "ja_JP.UTF-8", 1},
        {"de_DE.UTF-8@euro", "ja_JP", "", 1},
        {"", "", "ja_JP.eucJP", -1},
        {"C", "", "en_US", -1}, // the first non-empty one names no locale
        {"POSIX", "", "", -1},
        {"C.UTF-8", "", "en_US", -1},
    };
    for (const auto& row : table) {
        EXPECT_EXIT(
            {
                setenv("LC_ALL", row.lcAll, 1);
                setenv("LC_COLLATE", row.lcCollate, 1);
                setenv("LANG", row.lang, 1);
                const int r = platform::compare_locale("\x88\x9f", "\x88\xea");
                const int n = platform::compare_no_case("\x88\x9f", "\x88\xea");
                std::_Exit(r == row.expected && n == row.expected ? 0 : 1);
            },
            testing::ExitedWithCode(0), "")
            << row.lcAll << "|" << row.lcCollate << "|" << row.lang;
    }
}

} // namespace
