// POSIX only: accounts from getpwnam_r and getgrouplist; an access question
// for another account is asked by a forked child that drops to its ids and
// calls access(), so the kernel's own rules decide.
#include "platform/user.h"

#include <grp.h>
#include <pwd.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

namespace platform {

namespace {

// account_file_fields splits each line of the account file `path` at ':'
// and calls `take` with its fields until it returns true.
template <typename Take> void account_file_fields(const char* path, Take take) {
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        std::vector<std::string> fields;
        std::size_t at = 0;
        for (;;) {
            const std::size_t colon = line.find(':', at);
            fields.push_back(line.substr(at, colon == std::string::npos ? colon : colon - at));
            if (colon == std::string::npos)
                break;
            at = colon + 1;
        }
        if (take(fields))
            return;
    }
}

bool parse_id(const std::string& text, unsigned& id) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 9)
        return false;
    id = static_cast<unsigned>(std::stoul(text));
    return true;
}

} // namespace

bool running_as_superuser() {
    return geteuid() == 0;
}

std::string current_user_name() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr) {
        return std::string();
    }
    return found->pw_name;
}

bool find_user(std::string_view name, UserAccount& account) {
    const std::string key(name);
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (key.empty() || getpwnam_r(key.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr) {
        return false;
    }
    account = UserAccount{};
    account.name = found->pw_name;
    account.uid = found->pw_uid;
    account.gid = found->pw_gid;
    std::vector<char> groupBuffer(16384);
    group groupEntry{};
    group* groupFound = nullptr;
    if (getgrgid_r(found->pw_gid, &groupEntry, groupBuffer.data(), groupBuffer.size(),
                   &groupFound) == 0 &&
        groupFound != nullptr) {
        account.group = groupFound->gr_name;
    }
    int count = 64;
    std::vector<gid_t> ids(static_cast<std::size_t>(count));
    if (getgrouplist(account.name.c_str(), found->pw_gid, ids.data(), &count) < 0 && count > 0) {
        ids.resize(static_cast<std::size_t>(count));
        if (getgrouplist(account.name.c_str(), found->pw_gid, ids.data(), &count) < 0) {
            count = 0;
        }
    }
    for (int i = 0; i < count; ++i) {
        account.groups.push_back(ids[static_cast<std::size_t>(i)]);
    }
    if (account.groups.empty()) {
        account.groups.push_back(account.gid);
    }
    return true;
}

bool find_user_in_files(std::string_view name, UserAccount& account) {
    bool found = false;
    account_file_fields("/etc/passwd", [&](const std::vector<std::string>& f) {
        if (f.size() < 4 || f[0] != name)
            return false;
        account = UserAccount{};
        account.name = f[0];
        found = parse_id(f[2], account.uid) && parse_id(f[3], account.gid);
        return true;
    });
    if (!found)
        return false;
    account.groups.push_back(account.gid);
    account_file_fields("/etc/group", [&](const std::vector<std::string>& f) {
        unsigned gid = 0;
        if (f.size() < 4 || !parse_id(f[2], gid))
            return false;
        if (gid == account.gid)
            account.group = f[0];
        std::size_t at = 0;
        for (;;) {
            const std::size_t comma = f[3].find(',', at);
            if (f[3].substr(at, comma == std::string::npos ? comma : comma - at) == account.name &&
                gid != account.gid) {
                account.groups.push_back(gid);
            }
            if (comma == std::string::npos)
                break;
            at = comma + 1;
        }
        return false;
    });
    return true;
}

bool user_may_access(const UserAccount& account, std::string_view path, int modes) {
    if (geteuid() != 0) {
        return false;
    }
    const std::string file(path);
    std::vector<gid_t> ids(account.groups.begin(), account.groups.end());
    int mode = 0;
    mode |= (modes & may_read) != 0 ? R_OK : 0;
    mode |= (modes & may_write) != 0 ? W_OK : 0;
    mode |= (modes & may_run) != 0 ? X_OK : 0;
    const pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        // Only system calls here: the child of a forked process.
        if (setgroups(ids.size(), ids.data()) != 0 || setgid(account.gid) != 0 ||
            setuid(account.uid) != 0) {
            _exit(2);
        }
        _exit(access(file.c_str(), mode == 0 ? F_OK : mode) == 0 ? 0 : 1);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool become_user(const UserAccount& account) {
    std::vector<gid_t> ids(account.groups.begin(), account.groups.end());
    if (ids.empty())
        ids.push_back(account.gid);
    if (setgroups(ids.size(), ids.data()) != 0 || setgid(account.gid) != 0 ||
        setuid(account.uid) != 0) {
        return false;
    }
    return getuid() == account.uid && geteuid() == account.uid && getgid() == account.gid;
}

bool give_to_user(std::string_view path, const UserAccount& account) {
    const std::string file(path);
    return lchown(file.c_str(), account.uid, account.gid) == 0;
}

} // namespace platform
