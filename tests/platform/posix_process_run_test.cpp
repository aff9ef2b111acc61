// Child processes on POSIX systems: a child that ignores the terminate
// signal at the time limit gets the kill signal and is reaped. What every
// build promises is process_run_test.cpp's.
#include "platform/process_run.h"

#include "support/file_text.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <string>

#include <unistd.h>

namespace {

TEST(PosixProcessRunTest, ProgramStillRunningAtTheLimitIsStopped) {
    TempCwd cwd;
    const std::string sh = platform::find_program("sh", {});
    ASSERT_FALSE(sh.empty());
    // The child ignores the terminate signal, so the kill must follow.
    const auto run = platform::run_process_in(
        {sh, "-c", "trap '' TERM; echo $$ > pid; while :; do sleep 1; done"}, cwd.dir(), {}, 300);
    ASSERT_TRUE(run) << run.failure().message();
    EXPECT_TRUE(run.value().timedOut);
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
