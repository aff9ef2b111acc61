// Child processes in a Windows build: environment names that compare
// without regard to case, and the system's programs found on PATH with
// their suffix. What every build promises is process_run_test.cpp's.
#include "platform/process_run.h"

#include "support/file_text.h"
#include "support/scoped_env.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(Win32ProcessRunTest, EnvironmentNamesCompareWithoutRegardToCase) {
    TempCwd cwd;
    ASSERT_EQ(platform::executable_suffix(), ".exe");
    const std::string self = platform::current_program_path();
    const std::string child = self.substr(0, self.find_last_of('\\') + 1) + "echo_child.exe";
    const ScopedEnv caseVariable("DIRVANE_CASE", "old");
    // "dirvane_case" replaces DIRVANE_CASE.
    const auto run = platform::run_process_in({child, cwd.path("out.txt"), "0"}, "",
                                              {"dirvane_case=new"}, 20000);
    ASSERT_TRUE(run) << run.failure().message();
    EXPECT_EQ(read_all(cwd.path("out.txt")), "6:(none)\n3:new\n");
}

TEST(Win32ProcessRunTest, RunsSystemProgramsInTheWorkingFolder) {
    TempCwd cwd;
    const std::string cmd = platform::find_program("cmd", {});
    ASSERT_FALSE(cmd.empty());
    EXPECT_EQ(platform::find_program(cmd, {}), cmd);
    std::filesystem::create_directory(cwd.path("sub"));
    const auto run = platform::run_process_in({cmd, "/c", "echo here> made.txt& exit 3"},
                                              cwd.path("sub"), {}, 20000);
    ASSERT_TRUE(run) << run.failure().message();
    EXPECT_EQ(run.value().exitCode, 3);
    EXPECT_TRUE(std::filesystem::exists(cwd.path("sub/made.txt")));
}

} // namespace
