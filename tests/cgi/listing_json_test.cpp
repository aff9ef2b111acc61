// JSON strings and times of the listing's JSON form.
#include "cgi/listing_json.h"

#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string json_string(std::string_view text) {
    std::string out;
    append_json_string(out, text);
    return out;
}

std::string json_time(std::int64_t seconds, std::int64_t microseconds) {
    std::string out;
    append_json_time(out, TimeValue::make(seconds, microseconds));
    return out;
}

TEST(ListingJson, StringsAreUtf8WithEscapesAndReplacements) {
    platform::set_text_charset(platform::Charset::utf8);
    EXPECT_EQ(json_string("a\"b\\c/"), "\"a\\\"b\\\\c/\"");
    EXPECT_EQ(json_string(std::string("t\tn\n\0x\x7f", 7)), "\"t\\u0009n\\u000a\\u0000x\\u007f\"");
    EXPECT_EQ(json_string("\xE6\x97\xA5</script>"), "\"\xE6\x97\xA5</script>\"");
    EXPECT_EQ(json_string("\xE2\x80\xA8"), "\"\\u2028\"");
    // Bytes that form no character: each one U+FFFD.
    EXPECT_EQ(json_string("a\xFF\xE6\x97"), "\"a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(json_string("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
    platform::set_text_charset(platform::Charset::shift_jis);
    // 日本 (0x93FA 0x967B), half-width ｱ (0xB1), a lone lead byte and a
    // double-byte code that maps to nothing (0x81AD).
    EXPECT_EQ(json_string("\x93\xFA\x96\x7B\xB1.txt"),
              "\"\xE6\x97\xA5\xE6\x9C\xAC\xEF\xBD\xB1.txt\"");
    EXPECT_EQ(json_string("a\x81"), "\"a\xEF\xBF\xBD\"");
    EXPECT_EQ(json_string("\x81\xAD"), "\"\xEF\xBF\xBD\"");
    EXPECT_EQ(json_string("\x83\x5C"), "\"\xE3\x82\xBD\""); // ソ: its trail byte is no backslash
}

TEST(ListingJson, TimesAreUtcWithMilliseconds) {
    EXPECT_EQ(json_time(1099645623, 120999), "\"2004-11-05T09:07:03.120Z\"");
    EXPECT_EQ(json_time(951782400, 0), "\"2000-02-29T00:00:00.000Z\"");
    EXPECT_EQ(json_time(4102444799, 999999), "\"2099-12-31T23:59:59.999Z\"");
    EXPECT_EQ(json_time(-1, 500000), "\"1969-12-31T23:59:59.500Z\"");
    EXPECT_EQ(json_time(0, 0), "null");
}

} // namespace
