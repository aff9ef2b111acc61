// Starting a program directly, with its own working folder and environment,
// and waiting for it with a time limit.
#include "platform/process_run.h"

#include "support/file_text.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

namespace {

using platform::RunOutcome;

TEST(ProcessRunTest, RunsInTheFolderWithTheExtraEnvironmentAndNoShell) {
    TempCwd cwd;
    const std::string sh = platform::find_program("sh", {});
    ASSERT_FALSE(sh.empty());
    std::filesystem::create_directory(cwd.path("sub"));
    // The value holds shell syntax; it must arrive as it is.
    const std::string agent = "Mozilla & echo hacked | x > y; `id` $(id)";
    int code = -1;
    std::string error;
    const RunOutcome outcome = platform::run_process_in(
        {sh, "-c", "pwd > out.txt; printf '%s' \"$HTTP_USER_AGENT\" >> out.txt; exit 7"},
        cwd.path("sub"), {"HTTP_USER_AGENT=" + agent}, 10000, code, error);
    ASSERT_EQ(outcome, RunOutcome::ended) << error;
    EXPECT_EQ(code, 7);
    EXPECT_EQ(read_all(cwd.path("sub/out.txt")), cwd.path("sub") + "\n" + agent);
    EXPECT_FALSE(std::filesystem::exists(cwd.path("y")));
}

TEST(ProcessRunTest, StartFailuresAreReported) {
    TempCwd cwd;
    int code = 0;
    std::string error;
    EXPECT_EQ(platform::run_process_in({cwd.path("missing-program")}, "", {}, 1000, code, error),
              RunOutcome::not_started);
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_EQ(platform::run_process_in({platform::find_program("true", {})}, cwd.path("no-folder"),
                                       {}, 1000, code, error),
              RunOutcome::not_started);
    EXPECT_FALSE(error.empty());
}

TEST(ProcessRunTest, ProgramStillRunningAtTheLimitIsStopped) {
    TempCwd cwd;
    const std::string sh = platform::find_program("sh", {});
    int code = 0;
    std::string error;
    // The child ignores the terminate signal, so the kill must follow.
    const RunOutcome outcome = platform::run_process_in(
        {sh, "-c", "trap '' TERM; echo $$ > pid; while :; do sleep 1; done"}, cwd.dir(), {}, 300,
        code, error);
    EXPECT_EQ(outcome, RunOutcome::timed_out);
    const std::string pid = read_all(cwd.path("pid"));
    ASSERT_FALSE(pid.empty());
    // The child is gone (and reaped) when the call returns: no process of
    // that number is ours any more, running or as a zombie. (Under load the
    // number may already belong to another process, which is not ours.)
    const std::string status = read_all("/proc/" + pid.substr(0, pid.find('\n')) + "/status");
    EXPECT_EQ(status.find("\nPPid:\t" + std::to_string(getpid()) + "\n"), std::string::npos)
        << status;
}

} // namespace
