// The registry store of a Windows build is the registry itself: the root a
// store path names, and the store each test works on, a key of its own under
// HKEY_CURRENT_USER, so that nothing of the machine's keys is read or
// changed. What every build promises is registry_store_test.cpp's.
#include "platform/registry_store_fixture.h"

#include "support/scoped_env.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

std::string fresh_store_path() {
    // A key named by a random number below HKEY_CURRENT_USER\Software\DirvaneTest.
    std::random_device random;
    return "HKEY_CURRENT_USER\\Software\\DirvaneTest\\" + std::to_string(random());
}

namespace {

using platform::RegistryFault;
using platform::RegistryStore;

TEST(Win32RegistryStoreTest, DefaultRootIsTheLocalMachineUnlessTheEnvironmentNamesOne) {
    {
        const ScopedEnv unset("DIRVANE_REGISTRY", std::nullopt);
        EXPECT_EQ(platform::registry_default_path(), "HKEY_LOCAL_MACHINE");
    }
    const ScopedEnv named("DIRVANE_REGISTRY", "HKCU\\Software\\DirvaneTest");
    EXPECT_EQ(platform::registry_default_path(), "HKCU\\Software\\DirvaneTest");
}

TEST(Win32RegistryStoreTest, RootsThatAreMissingOrNoHive) {
    const std::string root = fresh_store_path();
    RegistryStore store(root);
    ASSERT_TRUE(store.create_key("Present"));
    // Below a root that does not exist, nothing is there and nothing is made.
    RegistryStore below(root + "\\Deeper");
    EXPECT_FALSE(below.key_exists("Present"));
    EXPECT_FALSE(below.write_text("Present", "Name", "x"));
    // A root that is no hive is refused with its name.
    RegistryStore bad("HKEY_NOWHERE\\X");
    const auto created = bad.create_key("Present");
    ASSERT_FALSE(created);
    EXPECT_NE(created.failure().message().find("HKEY_NOWHERE"), std::string::npos);
    EXPECT_EQ(created.failure().kind, RegistryFault::unwritable);
    const auto read = bad.read_text("Present", "Name");
    ASSERT_FALSE(read);
    EXPECT_EQ(read.failure().kind, RegistryFault::unreadable);
}

} // namespace
