// Test entry point: every unit test runs in the same time zone (JST, so that
// 2004/11/05 00:07 UTC reads 09:07) and with no locale named, so that the
// locale order is the Japanese one.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("TZ", "JST-9", 1);
    for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"})
        unsetenv(name);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
