// Registry store: what every build promises, on a store of the test's own
// (fresh_store_path, in the per-system file beside this one): numbers and
// texts with their types, Shift_JIS bytes, missing keys and values, and
// value names.
#include "platform/registry_store_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using platform::RegistryFault;
using platform::RegistryStore;

// message is the failure's text of a failed outcome; "" after a success.
template <typename Outcome> std::string message(const Outcome& outcome) {
    return outcome ? std::string() : outcome.failure().message();
}

template <typename Outcome> RegistryFault fault(const Outcome& outcome) {
    EXPECT_FALSE(outcome) << "the operation succeeded";
    return outcome ? RegistryFault::missing : outcome.failure().kind;
}

TEST(RegistryStoreTest, NumbersAndTextsRoundTripWithTheirTypes) {
    RegistryStore store(fresh_store_path());
    const std::string key = "SOFTWARE\\AnHTTPd\\default\\Progs";
    ASSERT_TRUE(store.create_key(key));
    EXPECT_TRUE(store.key_exists("software\\anhttpd\\DEFAULT"));
    for (std::uint32_t n : {0u, 3u, 0x7fffffffu, 0xfffffffeu, 0xffffffffu}) {
        const auto written = store.write_number(key, "Count", n);
        ASSERT_TRUE(written) << message(written);
        EXPECT_EQ(store.read_number("software\\anhttpd\\DEFAULT\\progs", "COUNT").value_or(1), n);
    }
    ASSERT_TRUE(store.write_text(key, "Name", "C:\\cgi\\Dirvane.exe"));
    EXPECT_EQ(store.read_text(key, "NAME").value_or(""), "C:\\cgi\\Dirvane.exe");
    // Each read asks for its own type: the other type reads as missing.
    const auto text = store.read_text(key, "Count");
    EXPECT_EQ(fault(text), RegistryFault::missing);
    EXPECT_NE(message(text).find("Count"), std::string::npos) << message(text);
    const auto number = store.read_number(key, "Name");
    EXPECT_EQ(fault(number), RegistryFault::missing);
    EXPECT_NE(message(number).find("Name"), std::string::npos) << message(number);
    // A write replaces a value of either type.
    ASSERT_TRUE(store.write_text(key, "count", "3"));
    EXPECT_EQ(store.read_text(key, "Count").value_or(""), "3");
    EXPECT_FALSE(store.read_number(key, "Count"));
    // An empty text is a value, not a missing one.
    ASSERT_TRUE(store.write_text(key, "Empty", ""));
    const auto empty = store.read_text(key, "Empty");
    ASSERT_TRUE(empty) << message(empty);
    EXPECT_EQ(empty.value(), "");
}

TEST(RegistryStoreTest, ShiftJisTextsAndNamesRoundTripByteForByte) {
    RegistryStore store(fresh_store_path());
    ASSERT_TRUE(store.create_key("Index"));
    // "表示" and "C:\ソフト\" with the trail byte 0x5C, and a name in Shift_JIS.
    const std::string name = "\x96\xbc\x91\x4f";
    const std::string values[] = {"\x95\\\x8e\xa6", "C:\\\x83\x5c\x83\x74\x83\x67\\",
                                  "index.html,\x88\xea\x97\x97.index"};
    for (const std::string& value : values) {
        const auto written = store.write_text("Index", name, value);
        ASSERT_TRUE(written) << message(written);
        EXPECT_EQ(store.read_text("Index", name).value_or(""), value);
    }
    EXPECT_EQ(store.value_names("Index").value_or({}), std::vector<std::string>{name});
}

TEST(RegistryStoreTest, OperationsOnAMissingKeyFailAndCreateNothing) {
    RegistryStore store(fresh_store_path());
    ASSERT_TRUE(store.create_key("Present"));
    const auto write = store.write_number("Present\\Missing", "Count", 1);
    EXPECT_EQ(fault(write), RegistryFault::missing);
    EXPECT_NE(message(write).find("Present\\Missing"), std::string::npos) << message(write);
    EXPECT_EQ(fault(store.write_text("Missing", "Name", "x")), RegistryFault::missing);
    EXPECT_EQ(fault(store.delete_value("Missing", "Name")), RegistryFault::missing);
    EXPECT_FALSE(store.key_exists("Present\\Missing"));
    EXPECT_FALSE(store.key_exists("Missing"));
    EXPECT_EQ(fault(store.read_number("Missing", "Count")), RegistryFault::missing);
    EXPECT_EQ(fault(store.read_text("Missing", "Name")), RegistryFault::missing);
    const auto names = store.value_names("Missing");
    EXPECT_EQ(fault(names), RegistryFault::missing);
    EXPECT_NE(message(names).find("Missing"), std::string::npos) << message(names);
    // Deleting a value that is not there fails too, and twice.
    EXPECT_EQ(fault(store.delete_value("Present", "Name")), RegistryFault::missing);
    ASSERT_TRUE(store.write_text("Present", "Name", "x"));
    EXPECT_TRUE(store.delete_value("Present", "NAME"));
    EXPECT_FALSE(store.read_text("Present", "Name"));
    EXPECT_EQ(fault(store.delete_value("Present", "Name")), RegistryFault::missing);
    // The root itself and a name with a control byte are no keys to create.
    EXPECT_FALSE(store.create_key(""));
    EXPECT_FALSE(store.create_key("bad\nname"));
}

TEST(RegistryStoreTest, ValueNamesListEveryValueOnceAndFollowDeletes) {
    RegistryStore store(fresh_store_path());
    ASSERT_TRUE(store.create_key("Progs\\Names"));
    // A key that exists only through the key below it has no values.
    const auto above = store.value_names("Progs");
    ASSERT_TRUE(above) << message(above);
    EXPECT_TRUE(above.value().empty());
    for (const char* name : {".index", ".cgi", ".b.c"}) {
        ASSERT_TRUE(store.write_text("Progs\\Names", name, "x"));
    }
    ASSERT_TRUE(store.write_text("Progs\\Names", ".CGI", "y")); // the same name
    // The registry keeps its own order (creation order on Windows, sorted
    // under Wine), so the names are compared as a set.
    const auto sorted_names = [&] {
        std::vector<std::string> names = store.value_names("Progs\\Names").value_or({});
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_EQ(sorted_names(), (std::vector<std::string>{".b.c", ".cgi", ".index"}));
    ASSERT_TRUE(store.delete_value("Progs\\Names", ".INDEX"));
    EXPECT_EQ(sorted_names(), (std::vector<std::string>{".b.c", ".cgi"}));
}

} // namespace
