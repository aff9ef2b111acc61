// The server account's reach: the checks and the lines that report them.
#include "httpd/account_reach.h"

#include "platform/process_run.h"
#include "platform/profile.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

// first_closed_folder returns the first folder on the way to `path` that
// `account` may not enter; "" when it may enter every one.
std::string first_closed_folder(const platform::UserAccount& account, const std::string& path) {
    fs::path folder;
    for (const fs::path& part : fs::path(path).parent_path()) {
        folder /= part;
        if (!platform::user_may_access(account, folder.string(), platform::may_run)) {
            return folder.string();
        }
    }
    return std::string();
}

// make_folders_for creates `folder` and the missing folders above it, each
// one it creates given to `account`; false when that fails.
bool make_folders_for(const platform::UserAccount& account, const std::string& folder) {
    std::error_code ec;
    std::vector<fs::path> missing;
    for (fs::path p = folder; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
        missing.push_back(p);
        if (p == p.parent_path()) {
            break;
        }
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!fs::create_directory(*it, ec) && !fs::is_directory(*it, ec)) {
            return false;
        }
        if (!platform::give_to_user(it->string(), account)) {
            return false;
        }
    }
    return true;
}

// note_problem adds the failure of `check` to the problems.
void note_problem(AccountReach& reach, const platform::Outcome<void>& check) {
    if (!check) {
        reach.problems.push_back(check.failure());
    }
}

// check_access_log checks the access log that the common settings `ini`
// name: its folder (created when missing) and an existing fixed file.
void check_access_log(const platform::UserAccount& account, const std::string& ini,
                      AccountReach& reach) {
    std::error_code ec;
    const std::string log = platform::read_profile_string(ini, "index", "log", "");
    bool whole = false;
    const std::string folder = access_log_folder(log, whole);
    if (folder.empty()) {
        if (!log.empty() && log[0] != '%') {
            reach.notes.push_back("the access log " + log + " lies in each listed folder: " +
                                  account.name + " writes it only where it may write");
        }
        return;
    }
    if (!fs::exists(folder, ec)) {
        if (!make_folders_for(account, folder)) {
            reach.problems.push_back(platform::Failure{
                "", "", "cannot create the access-log folder " + folder + " for " + account.name});
            return;
        }
        reach.notes.push_back("created " + folder + " for " + account.name + " (the access log " +
                              log + ")");
    }
    note_problem(reach, reach_problem(account, folder, platform::may_write | platform::may_run,
                                      "write the access-log folder"));
    const std::string file = log.substr(log.find_last_of("/\\") + 1);
    if (whole && file.find('%') == std::string::npos && fs::exists(folder + "/" + file, ec)) {
        note_problem(reach, reach_problem(account, folder + "/" + file, platform::may_write,
                                          "append to the access log"));
    }
}

} // namespace

platform::Outcome<void> reach_problem(const platform::UserAccount& account, const std::string& path,
                                      int modes, std::string_view what) {
    if (platform::user_may_access(account, path, modes)) {
        return {};
    }
    const std::string deed = account.name + " cannot " + std::string(what);
    if (const std::string closed = first_closed_folder(account, path); !closed.empty()) {
        return platform::Failure{deed, path,
                                 "it may not enter " + closed + ". Let it in (chmod o+x " + closed +
                                     "), move the file to a folder it can reach, or choose "
                                     "another --user"};
    }
    std::string letters;
    letters += (modes & platform::may_read) != 0 ? "r" : "";
    letters += (modes & platform::may_write) != 0 ? "w" : "";
    letters += (modes & platform::may_run) != 0 ? "x" : "";
    return platform::Failure{deed, path,
                             "its permissions shut " + account.name + " out. Allow it (chown " +
                                 account.name + " " + path + ", or chmod o+" + letters + " " +
                                 path + "), or choose another --user"};
}

std::string ini_beside(const std::string& program) {
    const std::size_t slash = program.rfind('/');
    const std::size_t dot = program.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) {
        return program.substr(0, dot) + ".ini";
    }
    return program + ".ini";
}

std::string access_log_folder(std::string log, bool& whole) {
    for (char& c : log) {
        c = c == '\\' ? '/' : c;
    }
    whole = false;
    const std::size_t slash = log.rfind('/');
    if (log.empty() || log[0] != '/' || slash == std::string::npos) {
        return std::string();
    }
    const std::string folder = log.substr(0, slash);
    const std::size_t mark = folder.find('%');
    whole = mark == std::string::npos;
    const std::string fixed = whole ? folder : folder.substr(0, folder.rfind('/', mark));
    return fixed.empty() ? std::string("/") : fixed;
}

AccountReach check_account_reach(const platform::UserAccount& account, const std::string& root,
                                 const ServerBindings& bindings) {
    std::error_code ec;
    AccountReach reach;
    note_problem(reach, reach_problem(account, root, platform::may_read | platform::may_run,
                                      "read the document root"));
    for (const CgiBinding& b : bindings.programs) {
        if (platform::find_program(b.program, {}).empty()) {
            continue;
        }
        note_problem(reach,
                     reach_problem(account, b.program, platform::may_run, "run the program"));
        const std::string ini = ini_beside(b.program);
        if (!fs::exists(ini, ec)) {
            continue;
        }
        note_problem(reach,
                     reach_problem(account, ini, platform::may_read, "read the common settings"));
        check_access_log(account, ini, reach);
    }
    return reach;
}

std::string user_line(bool superuser, const platform::UserAccount& account,
                      const std::string& chosen, const std::string& me) {
    if (!superuser) {
        return (me.empty() ? std::string("this user") : me) + " (not started as root: no switch)";
    }
    return account.uid != 0
               ? account.name + " (lighttpd and its programs; --user chooses)"
               : account.name + " (--user " + chosen + ": no switch, all runs as root)";
}

void print_account(std::ostream& out, const std::string& userLine, const AccountReach& reach) {
    out << "User:           " << userLine << "\n";
    for (const std::string& note : reach.notes) {
        out << "                (" << note << ")\n";
    }
    for (const platform::Failure& problem : reach.problems) {
        out << "Not reachable:  " << problem.message() << "\n";
    }
}
