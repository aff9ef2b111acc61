// The registry store of a Windows build is the registry itself. Each test
// works below a key of its own under HKEY_CURRENT_USER, so that nothing of
// the machine's keys is read or changed.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace {

using platform::RegistryStore;

// test_root returns a store path nobody else uses: a key named by a random
// number below HKEY_CURRENT_USER\Software\DirvaneTest.
std::string test_root() {
    std::random_device random;
    return "HKEY_CURRENT_USER\\Software\\DirvaneTest\\" + std::to_string(random());
}

TEST(Win32RegistryTest, DefaultRootIsTheLocalMachineUnlessTheEnvironmentNamesOne) {
    unsetenv("DIRVANE_REGISTRY");
    EXPECT_EQ(platform::registry_default_path(), "HKEY_LOCAL_MACHINE");
    setenv("DIRVANE_REGISTRY", "HKCU\\Software\\DirvaneTest", 1);
    EXPECT_EQ(platform::registry_default_path(), "HKCU\\Software\\DirvaneTest");
    unsetenv("DIRVANE_REGISTRY");
}

TEST(Win32RegistryTest, NumbersAndTextsRoundTripWithTheirTypes) {
    RegistryStore store(test_root());
    const std::string key = "SOFTWARE\\AnHTTPd\\default\\Progs";
    ASSERT_TRUE(store.create_key(key)) << store.last_error();
    EXPECT_TRUE(store.key_exists("software\\anhttpd\\DEFAULT"));
    ASSERT_TRUE(store.write_number(key, "Count", 0xFFFFFFFEu)) << store.last_error();
    ASSERT_TRUE(store.write_text(key, "Name", "C:\\cgi\\Dirvane.exe")) << store.last_error();
    EXPECT_EQ(store.read_number(key, "count"), 0xFFFFFFFEu);
    EXPECT_EQ(store.read_text(key, "NAME"), "C:\\cgi\\Dirvane.exe");
    // Each read asks for its own type: the other type reads as missing.
    EXPECT_EQ(store.read_text(key, "Count"), "");
    EXPECT_NE(store.last_error().find("Count"), std::string::npos);
    EXPECT_EQ(store.last_failure(), platform::RegistryFailure::missing);
    EXPECT_EQ(store.read_number(key, "Name"), 0u);
    EXPECT_FALSE(store.last_error().empty());
    // A write replaces a value of either type.
    ASSERT_TRUE(store.write_text(key, "Count", "3"));
    EXPECT_EQ(store.read_text(key, "Count"), "3");
    EXPECT_EQ(store.read_number(key, "Count"), 0u);
    ASSERT_TRUE(store.write_text(key, "Empty", ""));
    EXPECT_EQ(store.read_text(key, "Empty"), "");
    EXPECT_EQ(store.last_error(), "");
    EXPECT_EQ(store.last_failure(), platform::RegistryFailure::none);
}

TEST(Win32RegistryTest, ShiftJisTextsRoundTripByteForByte) {
    RegistryStore store(test_root());
    ASSERT_TRUE(store.create_key("Index"));
    // "表示" and "C:\ソフト\" with the trail byte 0x5C, and a name in Shift_JIS.
    const std::string values[] = {"\x95\\\x8e\xa6", "C:\\\x83\x5c\x83\x74\x83\x67\\",
                                  "index.html,\x88\xea\x97\x97.index"};
    for (const std::string& value : values) {
        ASSERT_TRUE(store.write_text("Index", "\x96\xbc\x91\x4f", value)) << store.last_error();
        EXPECT_EQ(store.read_text("Index", "\x96\xbc\x91\x4f"), value);
    }
    EXPECT_EQ(store.value_names("Index"), std::vector<std::string>{"\x96\xbc\x91\x4f"});
}

TEST(Win32RegistryTest, OperationsOnAMissingKeyFailAndCreateNothing) {
    RegistryStore store(test_root());
    ASSERT_TRUE(store.create_key("Present"));
    EXPECT_FALSE(store.write_number("Present\\Missing", "Count", 1));
    EXPECT_NE(store.last_error().find("Present\\Missing"), std::string::npos) << store.last_error();
    EXPECT_EQ(store.last_failure(), platform::RegistryFailure::missing);
    EXPECT_FALSE(store.write_text("Missing", "Name", "x"));
    EXPECT_FALSE(store.delete_value("Missing", "Name"));
    EXPECT_FALSE(store.key_exists("Present\\Missing"));
    EXPECT_FALSE(store.key_exists("Missing"));
    EXPECT_EQ(store.read_number("Missing", "Count"), 0u);
    EXPECT_EQ(store.read_text("Missing", "Name"), "");
    EXPECT_TRUE(store.value_names("Missing").empty());
    EXPECT_FALSE(store.last_error().empty());
    EXPECT_EQ(store.last_failure(), platform::RegistryFailure::missing);
    // Deleting a value that is not there fails too.
    EXPECT_FALSE(store.delete_value("Present", "Name"));
    EXPECT_EQ(store.last_failure(), platform::RegistryFailure::missing);
    // Below a root that does not exist, nothing is there and nothing is made.
    RegistryStore below(test_root() + "\\Deeper");
    EXPECT_FALSE(below.key_exists("Present"));
    EXPECT_FALSE(below.write_text("Present", "Name", "x"));
    // A root that is no hive is refused with its name.
    RegistryStore bad("HKEY_NOWHERE\\X");
    EXPECT_FALSE(bad.create_key("Present"));
    EXPECT_NE(bad.last_error().find("HKEY_NOWHERE"), std::string::npos);
    EXPECT_EQ(bad.last_failure(), platform::RegistryFailure::unwritable);
    EXPECT_EQ(bad.read_text("Present", "Name"), "");
    EXPECT_EQ(bad.last_failure(), platform::RegistryFailure::unreadable);
    EXPECT_FALSE(store.create_key(""));
    EXPECT_FALSE(store.create_key("bad\nname"));
}

TEST(Win32RegistryTest, ValueNamesListEveryValueOnceAndFollowDeletes) {
    RegistryStore store(test_root());
    ASSERT_TRUE(store.create_key("Progs\\Names"));
    // A key that exists only through the key below it has no values.
    EXPECT_TRUE(store.value_names("Progs").empty());
    EXPECT_EQ(store.last_error(), "");
    for (const char* name : {".index", ".cgi", ".b.c"}) {
        ASSERT_TRUE(store.write_text("Progs\\Names", name, "x"));
    }
    ASSERT_TRUE(store.write_text("Progs\\Names", ".CGI", "y")); // the same name
    // The registry keeps its own order (creation order on Windows, sorted
    // under Wine), so the names are compared as a set.
    std::vector<std::string> names = store.value_names("Progs\\Names");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".b.c", ".cgi", ".index"}));
    ASSERT_TRUE(store.delete_value("Progs\\Names", ".INDEX"));
    names = store.value_names("Progs\\Names");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".b.c", ".cgi"}));
    for (const std::string& name : names) {
        EXPECT_TRUE(store.delete_value("Progs\\Names", name));
    }
}

} // namespace
