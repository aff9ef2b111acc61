// Child processes, as every build promises them: each argument and
// environment value arrives byte for byte and no shell reads it, the child
// works in its own folder, start failures give their reason, and the time
// limit and a stop end the child. The child is echo_child beside this
// program; posix_ and win32_process_run_test.cpp hold what differs.
#include "platform/process_run.h"

#include "support/file_text.h"
#include "support/scoped_env.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string echo_child() {
    const std::string self = platform::current_program_path();
    return self.substr(0, self.find_last_of("/\\") + 1) + "echo_child" +
           std::string(platform::executable_suffix());
}

// field is one value as echo_child writes it.
std::string field(const std::string& value) {
    return std::to_string(value.size()) + ":" + value + "\n";
}

TEST(ProcessRunTest, ArgumentsAndEnvironmentArriveAsTheyAreInTheChildsFolder) {
    TempCwd cwd;
    const std::string child = echo_child();
    ASSERT_EQ(platform::find_program(child, {}), child);
    EXPECT_EQ(platform::find_program("no-such-program-here", {}), "");
    std::filesystem::create_directory(cwd.path("sub"));
    const ScopedEnv caseVariable("DIRVANE_CASE", "old");
    // Blanks, quotes, backslashes before quotes and at the end, an empty
    // argument, Shift_JIS with the trail byte 0x5C ("表") before a blank
    // and at the end, and shell syntax that must stay text.
    const std::vector<std::string> args = {
        "a b",
        "say \"hi\"",
        "C:\\x y\\",
        "\\\\\"",
        "",
        "tail\\\\",
        "\x95\\ \x95\\",
        "C:\\\x95\\ dir\\\x95\\",
        "& echo x | y > z",
        "`id` $(id); exit 1",
        "\t",
    };
    // A relative output file: it lands in the child's working folder.
    std::vector<std::string> argv = {child, "out.txt", "7"};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string agent = "v=1 & Mozilla & echo hacked | x > y; `id` $(id) %PATH%";
    const auto run = platform::run_process_in(argv, cwd.path("sub"),
                                              {"DIRVANE_ECHO=" + agent, "DIRVANE_CASE=new"}, 20000);
    ASSERT_TRUE(run) << run.failure().message();
    EXPECT_FALSE(run.value().timedOut);
    EXPECT_EQ(run.value().exitCode, 7);
    std::string expected;
    for (const std::string& a : args) {
        expected += field(a);
    }
    expected += field(agent) + field("new");
    EXPECT_EQ(read_all(cwd.path("sub/out.txt")), expected);
    EXPECT_FALSE(std::filesystem::exists(cwd.path("sub/y")));
    EXPECT_FALSE(std::filesystem::exists(cwd.path("sub/z")));
}

TEST(ProcessRunTest, StartFailuresAreReported) {
    TempCwd cwd;
    const std::string missing =
        cwd.path("missing-program") + std::string(platform::executable_suffix());
    const auto absent = platform::run_process_in({missing}, "", {}, 1000);
    ASSERT_FALSE(absent);
    EXPECT_NE(absent.failure().message().find(missing), std::string::npos)
        << absent.failure().message();
    const auto nowhere =
        platform::run_process_in({echo_child(), "x", "0"}, cwd.path("no-folder"), {}, 1000);
    ASSERT_FALSE(nowhere);
    EXPECT_FALSE(nowhere.failure().message().empty());
    // Nothing to start, and a program name with a double quote, which a
    // Windows command line cannot carry.
    EXPECT_FALSE(platform::start_process({}, {}));
    EXPECT_FALSE(platform::start_process({"a\"b.exe"}, {}));
}

TEST(ProcessRunTest, TimeLimitAndStopEndTheChild) {
    const auto run = platform::run_process_in({echo_child(), "x", "wait"}, "", {}, 300);
    ASSERT_TRUE(run) << run.failure().message();
    EXPECT_TRUE(run.value().timedOut);

    const auto started = platform::start_process({echo_child(), "x", "wait"}, {});
    ASSERT_TRUE(started) << started.failure().message();
    const platform::ProcessId child = started.value();
    int ignored = 0;
    EXPECT_FALSE(platform::process_ended(child, ignored));
    platform::stop_process(child);
    // Ended by the terminate signal (as if by it, on Windows).
    EXPECT_EQ(platform::wait_process(child), 128 + 15);
    // Seen ended, the child is gone.
    EXPECT_EQ(platform::wait_process(child), -1);
}

} // namespace
