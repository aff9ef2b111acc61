// The query string options: what is read, and what bad input leaves out.
#include "cgi/request_options.h"

#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

struct OptionsCase {
    std::string queryString;
    char column;
    bool descending;
    std::string query;
    bool json;
};

TEST(RequestOptions, ReadsKnownParametersAndLeavesBadOnesOut) {
    platform::set_text_charset(platform::Charset::utf8);
    const std::string longJapanese = [] {
        std::string q;
        for (int i = 0; i < 100; ++i)
            q += "%E3%81%82"; // あ, 3 bytes: 300 bytes in all
        return q;
    }();
    std::string cutJapanese;
    for (int i = 0; i < 85; ++i)
        cutJapanese += "\xE3\x81\x82";
    const OptionsCase cases[] = {
        {"", 0, false, "", false},
        {"C=N", 'N', false, "", false},
        {"C=M&O=D", 'M', true, "", false},
        {"C=S;O=D", 'S', true, "", false},
        {"C=E;O=A", 'E', false, "", false},
        {"O=D&C=T", 'T', true, "", false},
        {"C=X&O=D", 0, true, "", false}, // unknown column
        {"C=n", 0, false, "", false},    // values are exact
        {"C=NN", 0, false, "", false},
        {"C=S&C=N", 'S', false, "", false}, // the first stays
        {"C=X&C=N", 0, false, "", false},
        {"O=Z", 0, false, "", false},
        {"q=a+b%20c", 0, false, "a b c", false},
        {"q=%3Cb%3E%22'", 0, false, "<b>\"'", false},
        {"q=%E6%97%A5", 0, false, "\xE6\x97\xA5", false},
        {"q=x%00y&C=N", 'N', false, "", false}, // NUL: left out
        {"q=%zz&q=ok", 0, false, "ok", false},  // the broken one is left out
        {"q=%4", 0, false, "", false},
        {"q=%", 0, false, "", false},
        {"q=" + longJapanese, 0, false, cutJapanese, false},
        {"q=" + std::string(300, 'a'), 0, false, std::string(256, 'a'), false},
        {"format=json", 0, false, "", true},
        {"format=JSON", 0, false, "", false},
        {"format=html&format=json", 0, false, "", false},
        {"%43=%4E", 'N', false, "", false}, // names are decoded too
        {"C", 0, false, "", false},
        {"&&;;=&C=", 0, false, "", false},
        {"foo=bar&C=S&O=D&format=json&q=x", 'S', true, "x", true},
    };
    for (const OptionsCase& c : cases) {
        const RequestOptions o = parse_request_options(c.queryString);
        EXPECT_EQ(o.column, c.column) << c.queryString;
        EXPECT_EQ(o.descending, c.descending) << c.queryString;
        EXPECT_EQ(o.query, c.query) << c.queryString;
        EXPECT_EQ(o.json, c.json) << c.queryString;
    }
    platform::set_text_charset(platform::Charset::shift_jis);
    // A Shift_JIS double-byte character is not split by the cut either.
    const RequestOptions sjis = parse_request_options("q=a" + std::string(300, '\x82'));
    EXPECT_EQ(sjis.query.size(), 255u);
}

TEST(RequestOptions, NameFilterFoldsCaseAsTheNameOrderDoes) {
    platform::set_text_charset(platform::Charset::utf8);
    const auto contains = [](std::string_view name, std::string_view query) {
        return name_contains(folded_codes(name), folded_codes(query));
    };
    EXPECT_TRUE(contains("Report.TXT", "port.t"));
    EXPECT_TRUE(contains("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", "\xE6\x9C\xAC"));
    EXPECT_TRUE(contains("\xC3\x84rger", "\xC3\xA4r")); // Ä, ä
    EXPECT_TRUE(contains("anything", ""));
    EXPECT_FALSE(contains("abc", "abcd"));
    EXPECT_FALSE(contains("a\xFF\x62", "ab")); // a, 0xFF, b
    platform::set_text_charset(platform::Charset::shift_jis);
    // Full-width Ａ (0x8260) and ａ (0x8281) fold alike; the trail byte of a
    // double-byte character is never a match of its own.
    EXPECT_TRUE(contains("x\x82\x60y", "\x82\x81"));
    EXPECT_FALSE(contains("\x82\x60", "`"));
}

TEST(RequestOptions, AcceptPrefersJsonOnlyWhenItRatesItHigher) {
    const std::pair<const char*, bool> cases[] = {
        {"", false},
        {"*/*", false},
        {"application/json", true},
        {"Application/JSON", true},
        {"application/json, text/html", false},
        {"text/html;q=0.9, application/json", true},
        {"text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8", false},
        {"application/json;q=0.5, */*;q=0.1", true},
        {"application/*", true},
        {"application/json;q=0, */*", false},
        {"text/*;q=0.3, application/json;q=0.31", true},
        {"application/json;q=bogus, text/html;q=0.5", true},
        {",,;;,application/json;;", true},
    };
    for (const auto& [accept, json] : cases)
        EXPECT_EQ(accept_prefers_json(accept), json) << accept;
}

TEST(RequestOptions, ColumnsNameTheSortSettings) {
    EXPECT_EQ(sort_key_of('N', false), "name");
    EXPECT_EQ(sort_key_of('N', true), "rname");
    EXPECT_EQ(sort_key_of('M', true), "rtime");
    EXPECT_EQ(sort_key_of('S', true), "rsize");
    EXPECT_EQ(sort_key_of('E', false), "ext");
    EXPECT_EQ(sort_key_of('T', true), "type");
    EXPECT_EQ(sort_key_of(0, false), "");
}

} // namespace
