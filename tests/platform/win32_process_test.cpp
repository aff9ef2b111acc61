// Child processes in a Windows build: the command line that carries each
// argument byte for byte, the environment block, exit codes, the time
// limit and stopping. The child is win32_echo_child.exe beside this program.
#include "platform/process_run.h"

#include "support/file_text.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using platform::RunOutcome;

std::string echo_child() {
    const std::string self = platform::current_program_path();
    return self.substr(0, self.find_last_of('\\') + 1) + "win32_echo_child.exe";
}

std::string field(const std::string& value) {
    return std::to_string(value.size()) + ":" + value + "\n";
}

TEST(Win32ProcessTest, ArgumentsAndEnvironmentArriveAsTheyAre) {
    TempCwd cwd;
    ASSERT_EQ(platform::executable_suffix(), ".exe");
    const std::string child = echo_child();
    ASSERT_FALSE(child.empty());
    setenv("DIRVANE_CASE", "old", 1);
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
        "\t",
    };
    std::vector<std::string> argv = {child, cwd.path("out.txt"), "7"};
    argv.insert(argv.end(), args.begin(), args.end());
    int code = -1;
    std::string error;
    // Names compare without regard to case: "dirvane_case" replaces
    // DIRVANE_CASE.
    ASSERT_EQ(platform::run_process_in(argv, "", {"DIRVANE_ECHO=v=1 & %PATH%", "dirvane_case=new"},
                                       20000, code, error),
              RunOutcome::ended)
        << error;
    EXPECT_EQ(code, 7);
    std::string expected;
    for (const std::string& a : args) {
        expected += field(a);
    }
    expected += field("v=1 & %PATH%") + field("new");
    EXPECT_EQ(read_all(cwd.path("out.txt")), expected);
    unsetenv("DIRVANE_CASE");
}

TEST(Win32ProcessTest, RunsSystemProgramsInTheWorkingFolder) {
    TempCwd cwd;
    const std::string cmd = platform::find_program("cmd", {});
    ASSERT_FALSE(cmd.empty());
    EXPECT_EQ(platform::find_program(cmd, {}), cmd);
    EXPECT_EQ(platform::find_program("no-such-program-here", {}), "");
    std::filesystem::create_directory(cwd.path("sub"));
    int code = -1;
    std::string error;
    ASSERT_EQ(platform::run_process_in({cmd, "/c", "echo here> made.txt& exit 3"}, cwd.path("sub"),
                                       {}, 20000, code, error),
              RunOutcome::ended)
        << error;
    EXPECT_EQ(code, 3);
    EXPECT_TRUE(std::filesystem::exists(cwd.path("sub/made.txt")));
}

TEST(Win32ProcessTest, StartFailuresAreReported) {
    TempCwd cwd;
    int code = 0;
    std::string error;
    EXPECT_EQ(platform::run_process_in({cwd.path("missing.exe")}, "", {}, 1000, code, error),
              RunOutcome::not_started);
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_EQ(platform::run_process_in({echo_child(), "x", "0"}, cwd.path("no-folder"), {}, 1000,
                                       code, error),
              RunOutcome::not_started);
    EXPECT_FALSE(error.empty());
    // A program name with a double quote cannot be written on a command line.
    EXPECT_EQ(platform::start_process({"a\"b.exe"}, {}, error), platform::no_process);
}

TEST(Win32ProcessTest, TimeLimitAndStopEndTheChild) {
    TempCwd cwd;
    int code = 0;
    std::string error;
    EXPECT_EQ(platform::run_process_in({echo_child(), "x", "wait"}, "", {}, 300, code, error),
              RunOutcome::timed_out);

    const platform::ProcessId child =
        platform::start_process({echo_child(), "x", "wait"}, {}, error);
    ASSERT_NE(child, platform::no_process) << error;
    int ignored = 0;
    EXPECT_FALSE(platform::process_ended(child, ignored));
    platform::stop_process(child);
    // Ended as by the terminate signal elsewhere.
    EXPECT_EQ(platform::wait_process(child), 128 + 15);
    // Seen ended, the child is gone.
    EXPECT_EQ(platform::wait_process(child), -1);
}

} // namespace
