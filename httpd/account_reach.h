// The account dirvane-httpd's lighttpd and programs run as: what it must
// reach (the document root, each program with its common settings and the
// access-log folder those name), why it cannot and how to mend that, and
// the lines that tell the administrator.
#pragma once

#include "httpd/lighttpd_config.h"
#include "platform/failure.h"
#include "platform/user.h"

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// reach_problem fails when `account` may not do `modes` to `path` (`what`
// names the deed, "run the program"): the failure names the account, the
// deed and the path, and says why and how to mend it.
platform::Outcome<void> reach_problem(const platform::UserAccount& account, const std::string& path,
                                      int modes, std::string_view what);

// ini_beside returns the common settings file of `program`: its path with
// the extension replaced by ".ini", as Dirvane finds it.
std::string ini_beside(const std::string& program);

// access_log_folder returns the fixed folder part of an absolute access-log
// template (up to the first component with a placeholder); "" for a
// relative one (it lies in each listed folder) or one that starts with a
// placeholder. `whole` tells whether the file's folder is fixed entirely.
std::string access_log_folder(std::string log, bool& whole);

// AccountReach is what the account may not reach and what was noted on the
// way.
struct AccountReach {
    std::vector<platform::Failure> problems;
    std::vector<std::string> notes;
};

// check_account_reach checks what lighttpd and the programs must still reach
// as `account`: the document root `root`, each bound program that exists
// with its common settings, and the access-log folder those settings name
// (created for the account when missing; an existing one is only checked).
AccountReach check_account_reach(const platform::UserAccount& account, const std::string& root,
                                 const ServerBindings& bindings);

// user_line names who lighttpd runs as. `superuser` tells whether the
// server was started as root, `account` is then the account chosen with
// `chosen` (the name asked for) and `me` the starting account otherwise.
std::string user_line(bool superuser, const platform::UserAccount& account,
                      const std::string& chosen, const std::string& me);

// print_account writes the "User:" line, the notes below it and a
// "Not reachable:" line for each problem.
void print_account(std::ostream& out, const std::string& userLine, const AccountReach& reach);
