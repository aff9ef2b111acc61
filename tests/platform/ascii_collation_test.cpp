// The ASCII key table against ICU's collators: the keys must be byte for
// byte what ucol_getSortKey writes, or names would sort differently with
// and without the table.
#include "platform/posix/ascii_collation.h"
#include "platform/text.h"

#include <unicode/ucnv.h>
#include <unicode/ucol.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

namespace ac = platform::ascii_collation;

struct Identity {
    char16_t units[128];
    Identity() {
        for (int i = 0; i < 128; ++i)
            units[i] = static_cast<char16_t>(i);
    }
};

const Identity kIdentity;

// Collator is a primary-strength collator of one locale, as the text layer
// opens it.
class Collator {
  public:
    explicit Collator(const char* locale, UColAttributeValue strength = UCOL_PRIMARY) {
        UErrorCode status = U_ZERO_ERROR;
        m_collator = ucol_open(locale, &status);
        EXPECT_TRUE(U_SUCCESS(status)) << locale << ": " << u_errorName(status);
        ucol_setAttribute(m_collator, UCOL_STRENGTH, strength, &status);
    }
    ~Collator() { ucol_close(m_collator); }
    Collator(const Collator&) = delete;
    Collator& operator=(const Collator&) = delete;

    // key of an ASCII text, without the final 0 byte.
    std::string key(std::string_view text) const {
        return key(std::u16string(text.begin(), text.end()));
    }
    std::string key(const std::u16string& units) const {
        std::vector<std::uint8_t> buffer(8 * units.size() + 16);
        const std::int32_t n =
            ucol_getSortKey(m_collator, units.data(), static_cast<std::int32_t>(units.size()),
                            buffer.data(), static_cast<std::int32_t>(buffer.size()));
        EXPECT_GT(n, 0);
        EXPECT_LE(n, static_cast<std::int32_t>(buffer.size()));
        return std::string(reinterpret_cast<const char*>(buffer.data()), n - 1);
    }

  private:
    UCollator* m_collator = nullptr;
};

std::string table_key(std::string_view text) {
    std::string key;
    ac::append_key(key, text, kIdentity.units);
    return key;
}

// no_case_key is the table's no-case key; folded_key the key that the
// no-case collator (identical strength) gives the text with its letters
// folded, as the text layer collates it.
std::string no_case_key(std::string_view text) {
    std::string key;
    ac::append_no_case_key(key, text);
    return key;
}

std::string folded(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    return out;
}

std::string show(std::string_view s) {
    std::string out;
    for (const char c : s) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02X ", static_cast<unsigned char>(c));
        out += hex;
    }
    return out;
}

TEST(AsciiCollation, EveryPairOfCharactersAsTheCollatorWritesIt) {
    for (const std::string_view locale : ac::kLocales) {
        const Collator collator(std::string(locale).c_str());
        int mismatches = 0;
        for (int a = 0; a < 128; ++a) {
            const std::string one(1, static_cast<char>(a));
            EXPECT_EQ(table_key(one), collator.key(one)) << locale << " " << show(one);
            for (int b = 0; b < 128 && mismatches < 5; ++b) {
                const std::string two{static_cast<char>(a), static_cast<char>(b)};
                if (table_key(two) != collator.key(two)) {
                    ++mismatches;
                    ADD_FAILURE() << locale << " " << show(two);
                }
            }
        }
    }
}

TEST(AsciiCollation, LongerTextsAsTheCollatorWritesThem) {
    // Random texts, weighted towards what names hold, and every length up
    // to 40; a fixed seed keeps a failure repeatable.
    static const char kCommon[] = "abcXYZ019 ._-()&'~[]";
    std::mt19937 random(932);
    for (const std::string_view locale : ac::kLocales) {
        const Collator collator(std::string(locale).c_str());
        int mismatches = 0;
        for (int round = 0; round < 20000 && mismatches < 5; ++round) {
            std::string text(random() % 41, ' ');
            for (char& c : text) {
                c = random() % 2 != 0 ? kCommon[random() % (sizeof kCommon - 1)]
                                      : static_cast<char>(random() % 128);
            }
            if (table_key(text) != collator.key(text)) {
                ++mismatches;
                ADD_FAILURE() << locale << " " << show(text);
            }
        }
    }
}

TEST(AsciiCollation, NoCaseKeysOfPrintableTextAsTheCollatorWritesThem) {
    // Every pair of printable characters, then random texts of every length
    // up to 300: the runs of common weights are counted in pieces of 33
    // (secondary) and 97 (tertiary) characters, so the lengths around their
    // multiples are written out as well.
    std::mt19937 random(932);
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 300; ++n)
        lengths.push_back(n);
    for (const std::string_view locale : ac::kLocales) {
        const Collator collator(std::string(locale).c_str(), UCOL_IDENTICAL);
        int mismatches = 0;
        for (int a = 0x20; a < 0x7F && mismatches < 5; ++a) {
            for (int b = 0x1F; b < 0x7F && mismatches < 5; ++b) {
                std::string text(1, static_cast<char>(a));
                if (b >= 0x20)
                    text += static_cast<char>(b);
                if (no_case_key(text) != collator.key(folded(text))) {
                    ++mismatches;
                    ADD_FAILURE() << locale << " " << show(text);
                }
            }
        }
        for (int round = 0; round < 3000 && mismatches < 5; ++round) {
            std::string text(lengths[round % lengths.size()], ' ');
            for (char& c : text)
                c = static_cast<char>(0x20 + random() % 95);
            if (no_case_key(text) != collator.key(folded(text))) {
                ++mismatches;
                ADD_FAILURE() << locale << " " << text.size() << " " << show(text);
            }
        }
    }
}

TEST(AsciiCollation, PrintableIsSpaceToTilde) {
    EXPECT_TRUE(ac::is_printable(""));
    EXPECT_TRUE(ac::is_printable(" .tar.gz~"));
    EXPECT_FALSE(ac::is_printable(".t\tx"));
    EXPECT_FALSE(ac::is_printable(std::string_view("a\x1F", 2)));
    EXPECT_FALSE(ac::is_printable("a\x7F"));
    EXPECT_FALSE(ac::is_printable("\x83\x5c"));
    EXPECT_FALSE(ac::is_printable(std::string_view("\0", 1)));
}

// The lead classes of the text layer: every ASCII key starts at or below
// kMaxLeadByte, every key of a text starting with a kana or a kanji above it.
TEST(AsciiCollation, KanaAndKanjiKeysLeadAboveEveryAsciiKey) {
    unsigned maxLead = 0;
    for (int c = 0; c < 128; ++c) {
        const std::string key = table_key(std::string(1, static_cast<char>(c)));
        if (!key.empty())
            maxLead = std::max(maxLead, static_cast<unsigned>(static_cast<unsigned char>(key[0])));
    }
    EXPECT_EQ(maxLead, ac::kMaxLeadByte);
    // What may follow the first character: letters, digits and signs, the
    // marks that change the kana before them (prolonged sound, iteration,
    // voicing), a combining accent, other kana and kanji.
    std::vector<std::u16string> followers = {
        u"",       u"\u30FC", u"\u309D", u"\u309E", u"\u30FD", u"\u30FE",
        u"\u3005", u"\u3099", u"\u309A", u"\u0301", u"\uFF9E", u"\uFF70",
        u"\uFF21", u"\u3041", u"\u30A2", u"\u4E00", u"\uFFFD", u"\u001A",
    };
    for (char16_t c = 0x20; c < 0x7F; ++c)
        followers.push_back(std::u16string(1, c));
    for (const std::string_view locale : ac::kLocales) {
        const Collator collator(std::string(locale).c_str());
        int mismatches = 0;
        for (char32_t code = 0x3000; code < 0xA000 && mismatches < 5; ++code) {
            if (!ac::is_kana_or_kanji(code))
                continue;
            // Every kana with every follower; the kanji alone and with a few.
            const bool kana = code < 0x4E00;
            for (std::size_t f = 0; f < (kana ? followers.size() : 3); ++f) {
                const std::u16string text = static_cast<char16_t>(code) + followers[f];
                const std::string key = collator.key(text);
                if (key.empty() || static_cast<unsigned char>(key[0]) <= ac::kMaxLeadByte) {
                    ++mismatches;
                    ADD_FAILURE() << locale << " U+" << std::hex << static_cast<unsigned>(code)
                                  << " + " << f << ": " << show(key);
                }
            }
        }
    }
}

TEST(AsciiCollation, Cp932KanaAndKanjiAreTheUnicodeOnes) {
    // Every cell that the double-byte test takes is one character of the
    // Unicode ranges through the converter that collation uses.
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open("windows-932", &status);
    ASSERT_TRUE(U_SUCCESS(status));
    int taken = 0;
    for (unsigned code = 0x8140; code <= 0xFCFC; ++code) {
        if (!ac::is_cp932_kana_or_kanji(code))
            continue;
        ++taken;
        const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
        UChar units[4];
        status = U_ZERO_ERROR;
        const std::int32_t n = ucnv_toUChars(converter, units, 4, bytes, 2, &status);
        ASSERT_TRUE(U_SUCCESS(status)) << std::hex << code;
        EXPECT_TRUE(n == 1 && ac::is_kana_or_kanji(units[0])) << std::hex << code;
    }
    ucnv_close(converter);
    // The hiragana and katakana rows, JIS level 1 and level 2 kanji.
    EXPECT_EQ(taken, 83 + 86 + 2965 + 3390);
}

TEST(AsciiCollation, LeadClassesOfTheTextLayer) {
    using platform::KeyLead;
    using platform::locale_key_lead;
    EXPECT_EQ(locale_key_lead("file0"), KeyLead::low);
    EXPECT_EQ(locale_key_lead(""), KeyLead::low);
    EXPECT_EQ(locale_key_lead(std::string_view("\x1a\x7f", 2)), KeyLead::low);
    EXPECT_EQ(locale_key_lead("\x83\x5c"
                              "0"),
              KeyLead::high);                                      // katakana so
    EXPECT_EQ(locale_key_lead("\x82\xa0"), KeyLead::high);         // hiragana a
    EXPECT_EQ(locale_key_lead("\x93\xfa\x96\x7b"), KeyLead::high); // kanji
    EXPECT_EQ(locale_key_lead("\xea\xa4"), KeyLead::high);         // the last kanji
    EXPECT_EQ(locale_key_lead("\x82\x60"), KeyLead::unknown);      // full-width A
    EXPECT_EQ(locale_key_lead("\x81\x5b"), KeyLead::unknown);      // prolonged sound mark
    EXPECT_EQ(locale_key_lead("\xb1"), KeyLead::unknown);          // half-width katakana
    EXPECT_EQ(locale_key_lead("\x83"), KeyLead::unknown);          // a lead byte alone
    EXPECT_EQ(locale_key_lead("\x98\x73"), KeyLead::unknown);      // no kanji there
    EXPECT_EQ(locale_key_lead("a\x83\x5c"), KeyLead::unknown);     // ASCII first: keyed
}

TEST(AsciiCollation, OnlyTheCheckedLocales) {
    EXPECT_TRUE(ac::applies("ja"));
    EXPECT_TRUE(ac::applies("ja_JP"));
    EXPECT_FALSE(ac::applies("sv_SE")); // other tailorings are not checked
    EXPECT_FALSE(ac::applies("da"));    // "aa" sorts as a letter of its own
    EXPECT_FALSE(ac::applies(""));
}

// The text layer's keys (the table for ASCII, ICU for the rest) sort a mixed
// folder in the collator's order: the two kinds of key fit together.
TEST(AsciiCollation, TableAndCollatorKeysSortTogether) {
    const std::vector<std::string> names = {
        "file",     "File",      "file 2",   "file-2",   "file_2",    "file.2", "file2",
        "IMG_0042", "img",       "\x82\xa0", "\x83\x41", "z",         "Z~",     "\x82\x60",
        "\x88\x9f", "a\x82\xa0", "[x]",      "(x)",      "",          " ",      "\x93\xfa\x96\x7b",
        "readme",   "README.md", "\x83\x5c", "~",        "Thumbs.db",
    };
    std::vector<std::string> byKey = names;
    std::stable_sort(byKey.begin(), byKey.end(), [](const std::string& a, const std::string& b) {
        return platform::locale_sort_key(a) < platform::locale_sort_key(b);
    });
    std::vector<std::string> byCompare = names;
    std::stable_sort(byCompare.begin(), byCompare.end(),
                     [](const std::string& a, const std::string& b) {
                         return platform::compare_locale(a, b) < 0;
                     });
    EXPECT_EQ(byKey, byCompare);
    // Equal in the collator's order, equal keys.
    EXPECT_EQ(platform::locale_sort_key("file"), platform::locale_sort_key("FILE"));
    EXPECT_EQ(platform::locale_sort_key("abc"),
              platform::locale_sort_key("\x82\x81\x82\x82\x82\x83")); // full-width abc
}

// The same for the no-case keys of extensions: table keys of printable text
// and the collator's keys of the rest sort as compare_no_case orders them.
TEST(AsciiCollation, NoCaseTableAndCollatorKeysSortTogether) {
    const std::vector<std::string> exts = {
        ".txt", ".TXT", ".Txt", ".tar.gz",   ".jpg",      ".JPG",       ".jpeg",      ".c",
        ".C",   ".",    "",     ".\x82\x60", ".\x82\x81", ".\x83\x41",  ".a b",       ".a\tb",
        ".1",   ".10",  ".~",   ".[x]",      ".\x88\x9f", ".a\x82\xa0", ".A\x82\xa0",
    };
    std::vector<std::string> byKey = exts;
    std::stable_sort(byKey.begin(), byKey.end(), [](const std::string& a, const std::string& b) {
        return platform::no_case_sort_key(a) < platform::no_case_sort_key(b);
    });
    std::vector<std::string> byCompare = exts;
    std::stable_sort(byCompare.begin(), byCompare.end(),
                     [](const std::string& a, const std::string& b) {
                         return platform::compare_no_case(a, b) < 0;
                     });
    EXPECT_EQ(byKey, byCompare);
    EXPECT_EQ(platform::no_case_sort_key(".JPG"), platform::no_case_sort_key(".jpg"));
    EXPECT_NE(platform::no_case_sort_key(".jpg"), platform::no_case_sort_key(".jpeg"));
}

} // namespace
