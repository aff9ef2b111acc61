// The server account's reach: what an account without privileges may not
// reach, how the administrator is told, and the access-log folder made for
// it; with a real account (nobody), so run as root.
#include "httpd/account_reach.h"

#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// with_dir replaces each "{dir}" of `text` with `dir`.
std::string with_dir(std::string text, const std::string& dir) {
    for (std::size_t at = text.find("{dir}"); at != std::string::npos;
         at = text.find("{dir}", at + dir.size())) {
        text.replace(at, 5, dir);
    }
    return text;
}

// AsNobody asks about the account without privileges "nobody", in a fresh
// folder every account may enter; it skips where this process cannot ask
// for another account (only root can).
class AsNobody : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!platform::running_as_superuser() || !platform::find_user("nobody", account)) {
            GTEST_SKIP() << "needs root and the account nobody";
        }
        ASSERT_EQ(chmod(tmp.dir().c_str(), 0755), 0);
    }
    void make_folder(const std::string& name, mode_t mode) {
        fs::create_directories(tmp.path(name));
        ASSERT_EQ(chmod(tmp.path(name).c_str(), mode), 0) << name;
    }
    void make_file(const std::string& name, const std::string& text, mode_t mode) {
        std::ofstream(tmp.path(name), std::ios::binary) << text;
        ASSERT_EQ(chmod(tmp.path(name).c_str(), mode), 0) << name;
    }

    TempCwd tmp;
    platform::UserAccount account;
};

TEST(AccountReach, AccessLogFolderIsTheFixedPartOfAnAbsoluteTemplate) {
    struct Row {
        const char* log;
        const char* folder;
        bool whole;
    };
    const Row rows[] = {
        {"/var/log/dirvane/access.log", "/var/log/dirvane", true},
        {"/var/log/dirvane/%Y/%m/access.log", "/var/log/dirvane", false},
        {"/var/log/dirvane-%Y/access.log", "/var/log", false},
        {"/%Y/access.log", "/", false},
        {"/access.log", "/", true},
        {"\\var\\log\\access.log", "/var/log", true}, // Windows separators
        {"access.log", "", false},                    // in each listed folder
        {"logs/access.log", "", false},
        {"%DOCUMENT_ROOT%/access.log", "", false},
        {"", "", false},
    };
    for (const Row& row : rows) {
        bool whole = !row.whole;
        EXPECT_EQ(access_log_folder(row.log, whole), row.folder) << row.log;
        EXPECT_EQ(whole, row.whole) << row.log;
    }
}

TEST_F(AsNobody, ProblemNamesTheClosedFolderOrThePermissionToGrant) {
    make_folder("closed", 0700);
    make_file("closed/page.html", "x", 0644);
    make_file("open.html", "x", 0644);
    make_file("private.html", "x", 0600);
    make_folder("logs", 0755);

    struct Row {
        const char* path;
        int modes;
        const char* problem; // "" when nobody may
    };
    using platform::may_read, platform::may_run, platform::may_write;
    const Row rows[] = {
        {"{dir}/open.html", may_read, ""},
        {"{dir}/logs", may_read | may_run, ""},
        {"{dir}/closed/page.html", may_read,
         "nobody cannot read it {dir}/closed/page.html: it may not enter {dir}/closed. Let it in "
         "(chmod o+x {dir}/closed), move the file to a folder it can reach, or choose another "
         "--user"},
        {"{dir}/private.html", may_read | may_write,
         "nobody cannot read it {dir}/private.html: its permissions shut nobody out. Allow it "
         "(chown nobody {dir}/private.html, or chmod o+rw {dir}/private.html), or choose another "
         "--user"},
        {"{dir}/logs", may_write | may_run,
         "nobody cannot read it {dir}/logs: its permissions shut nobody out. Allow it (chown "
         "nobody {dir}/logs, or chmod o+wx {dir}/logs), or choose another --user"},
    };
    for (const Row& row : rows) {
        const std::string path = with_dir(row.path, tmp.dir());
        const auto reached = reach_problem(account, path, row.modes, "read it");
        EXPECT_EQ(reached ? "" : reached.failure().message(), with_dir(row.problem, tmp.dir()));
    }
}

// A server that switches to nobody: the report names what it cannot reach
// and the access-log folder created for it, in the lines the administrator
// reads before lighttpd starts.
TEST_F(AsNobody, ReportListsProblemsAndTheFolderMadeForTheAccount) {
    make_folder("www", 0755);
    make_folder("cgi", 0755);
    make_folder("closed", 0700);
    make_file("cgi/Dirvane.cgi", "#!/bin/sh\n", 0755);
    make_file("cgi/Dirvane.ini", "[index]\nlog=" + tmp.dir() + "/logs/%Y/access.log\n", 0600);
    make_file("closed/Other", "#!/bin/sh\n", 0755);
    make_file("cgi/Gone", "#!/bin/sh\n", 0644); // not a program: left out

    const ServerBindings bindings{{"index.html"},
                                  {{".index", tmp.path("cgi/Dirvane.cgi")},
                                   {".other", tmp.path("closed/Other")},
                                   {".gone", tmp.path("cgi/Gone")}}};
    const AccountReach reach = check_account_reach(account, tmp.path("www"), bindings);
    std::ostringstream out;
    print_account(out, user_line(true, account, "nobody", ""), reach);
    EXPECT_EQ(out.str(),
              with_dir("User:           nobody (lighttpd and its programs; --user chooses)\n"
                       "                (created {dir}/logs for nobody (the access log "
                       "{dir}/logs/%Y/access.log))\n"
                       "Not reachable:  nobody cannot read the common settings {dir}/cgi/"
                       "Dirvane.ini: its permissions shut nobody out. Allow it (chown nobody "
                       "{dir}/cgi/Dirvane.ini, or chmod o+r {dir}/cgi/Dirvane.ini), or choose "
                       "another --user\n"
                       "Not reachable:  nobody cannot run the program {dir}/closed/Other: it may "
                       "not enter {dir}/closed. Let it in (chmod o+x {dir}/closed), move the "
                       "file to a folder it can reach, or choose another --user\n",
                       tmp.dir()));
    struct stat made {};
    ASSERT_EQ(stat(tmp.path("logs").c_str(), &made), 0);
    EXPECT_EQ(made.st_uid, account.uid);
}

} // namespace
