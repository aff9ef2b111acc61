// The registry export format: text values written and read back byte for
// byte, hand-written files read as the registry reads them, and every
// malformed line named by its number.
#include "platform/common/registry_document.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using platform::reg::Document;
using platform::reg::find_key;
using platform::reg::find_value;
using platform::reg::format_document;
using platform::reg::Key;
using platform::reg::key_present;
using platform::reg::parse_document;
using platform::reg::Value;

const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";

// read_back parses `text` and returns value `name` of `key`; fails the test
// when the text does not parse or the value is missing.
Value read_back(const std::string& text, std::string_view key, std::string_view name) {
    auto parsed = parse_document(text, "registry.reg");
    EXPECT_TRUE(parsed) << parsed.failure().message();
    Document doc = parsed ? std::move(parsed).value() : Document{};
    const Value* value = find_value(find_key(doc, key), name);
    EXPECT_NE(value, nullptr) << name;
    return value == nullptr ? Value{} : *value;
}

struct TextCase {
    std::string value;
    std::string line; // the value's line in the file
};

TEST(RegistryDocument, TextRoundTripsAndEscaping) {
    const TextCase cases[] = {
        {"index.html,index.htm", "\"v\"=\"index.html,index.htm\""},
        {"", "\"v\"=\"\""},
        {"C:\\web\\Dirvane.exe", "\"v\"=\"C:\\\\web\\\\Dirvane.exe\""},
        {"say \"hi\"", "\"v\"=\"say \\\"hi\\\"\""},
        {"\x83\x5c.txt", "\"v\"=\"\x83\\\\.txt\""}, // Shift_JIS trail byte 0x5C
        {"/srv/\x93\xfa\x96\x7b/Dirvane", "\"v\"=\"/srv/\x93\xfa\x96\x7b/Dirvane\""},
        {std::string("a\r\nb\t\x7f") + '\0' + "z", "\"v\"=\"a\\x0d\\x0ab\\x09\\x7f\\x00z\""},
        {"\\x41", "\"v\"=\"\\\\x41\""},
        {"trailing\\", "\"v\"=\"trailing\\\\\""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.line);
        const Document doc{{Key{"SOFTWARE\\T", {Value{"v", false, 0, c.value}}}}};
        const std::string text = format_document(doc);
        EXPECT_EQ(text, header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n" + c.line + "\r\n\r\n");
        const Value back = read_back(text, "software\\t", "V");
        EXPECT_FALSE(back.isNumber);
        EXPECT_EQ(back.text, c.value);
    }
    // Any bytes in a value name, too, and numbers in eight hex digits.
    const std::string name = "\"odd\\ \x95\x5c name\n";
    for (const std::uint32_t n : {0u, 5u, 0x7fffffffu, 0xffffffffu}) {
        const std::string text =
            format_document(Document{{Key{"SOFTWARE\\T", {Value{name, true, n, {}}}}}});
        const Value back = read_back(text, "SOFTWARE\\T", name);
        EXPECT_TRUE(back.isNumber);
        EXPECT_EQ(back.number, n);
    }
    EXPECT_NE(format_document(Document{{Key{"K", {Value{"Count", true, 0xffffffffu, {}}}}}})
                  .find("\"Count\"=dword:ffffffff\r\n"),
              std::string::npos);
}

TEST(RegistryDocument, ReadsHandWrittenFiles) {
    const std::string text = "Windows Registry Editor Version 5.00\n"
                             "; a comment\n"
                             "\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Progs\\Attrs]\n"
                             "\".index\"=dword:3\n"
                             "\".cgi\"=dword:0000000A\n"
                             "[hkey_local_machine\\SOFTWARE\\AnHTTPd\\default\\Index]\r\n"
                             "\"Default\"=\"index.html\"\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Progs\\Attrs]\n"
                             "\".index\"=dword:00000001\n";
    const auto parsed = parse_document(text, "registry.reg");
    ASSERT_TRUE(parsed) << parsed.failure().message();
    Document doc = parsed.value();
    const Key* attrs = find_key(doc, "SOFTWARE\\AnHTTPd\\default\\Progs\\Attrs");
    ASSERT_NE(attrs, nullptr);
    ASSERT_EQ(attrs->values.size(), 2u) << "a repeated header adds to its key";
    EXPECT_EQ(attrs->values[0].name, ".index");
    EXPECT_EQ(attrs->values[0].number, 1u) << "the last of repeated values counts";
    EXPECT_EQ(attrs->values[1].name, ".cgi");
    EXPECT_EQ(attrs->values[1].number, 10u);
    EXPECT_EQ(find_value(find_key(doc, "SOFTWARE\\AnHTTPd\\default\\Index"), "default")->text,
              "index.html");
    // A key exists when a key below it has a header, as in the registry.
    EXPECT_TRUE(key_present(doc, "SOFTWARE\\AnHTTPd\\default\\Progs"));
    EXPECT_EQ(find_key(doc, "SOFTWARE\\AnHTTPd\\default\\Progs"), nullptr);
    EXPECT_FALSE(key_present(doc, "SOFTWARE\\AnHTTPd\\default\\Prog"));
    // An empty file holds no keys.
    const auto empty = parse_document("", "registry.reg");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty.value().keys.empty());
}

struct MalformedCase {
    std::string text;
    std::string error; // what follows "<file>:"
};

TEST(RegistryDocument, MalformedLinesAreNamed) {
    const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\K]\r\n";
    const MalformedCase cases[] = {
        {"REGEDIT4\r\n", "1: expected \"Windows Registry Editor Version 5.00\" as the first line"},
        {header + "\"a\"=\"b\"\r\n", "3: expected a key header [HKEY_LOCAL_MACHINE\\...] before "
                                     "the first value"},
        {header + "[HKEY_CURRENT_USER\\Software]\r\n", "3: expected a key header"},
        {header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\K\r\n", "3: expected a key header"},
        {header + key + "\"a\"=\"b\r\n", "4: expected a closing double quote"},
        {header + key + "\"a\"=\"b\\q\"\r\n", "4: expected \\\\, \\\" or \\x"},
        {header + key + "\"a\"=\"b\\x4\"\r\n", "4: expected \\\\, \\\" or \\x"},
        {header + key + "\"a\"=dword:123456789\r\n", "4: expected 1 to 8 hex digits"},
        {header + key + "\"a\"=dword:\r\n", "4: expected 1 to 8 hex digits"},
        {header + key + "\"a\"=hex:01,02\r\n", "4: expected a value \"text\" or dword:"},
        {header + key + "\"a\" = \"b\"\r\n", "4: expected = after the value name"},
        {header + key + "\"a\"=\"b\" ; note\r\n", "4: expected the end of the line"},
        {header + key + "a=b\r\n", "4: expected a key header [...] or a value line"},
    };
    for (const MalformedCase& c : cases) {
        SCOPED_TRACE(c.text);
        const auto doc = parse_document(c.text, "/etc/registry.reg");
        ASSERT_FALSE(doc);
        const std::string error = doc.failure().message();
        EXPECT_EQ(error.rfind("/etc/registry.reg:" + c.error, 0), 0u) << error;
    }
}

} // namespace
