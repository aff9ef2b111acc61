// User accounts: who this process runs as, another account's ids, what that
// account may reach in the file system, and handing a file over to it. A
// server started by the superuser runs its workers as such an account.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// UserAccount is one account of the system.
struct UserAccount {
    std::string name;
    std::string group; // the name of its primary group ("" when it has none)
    unsigned uid = 0;
    unsigned gid = 0;
    std::vector<unsigned> groups; // every group it belongs to, the primary one too
};

// running_as_superuser tells whether this process may act as any account
// (effective user id 0); always false where accounts cannot be switched.
bool running_as_superuser();

// current_user_name returns the name of the account this process runs as;
// "" when the system does not tell.
std::string current_user_name();

// find_user looks up the account `name`; false when there is none.
bool find_user(std::string_view name, UserAccount& account);

// find_user_in_files looks up the account `name` as find_user does, in the
// system's own account files alone (on POSIX /etc/passwd and /etc/group),
// without the name services of the C library, which a statically linked
// program cannot load; false when there is none.
bool find_user_in_files(std::string_view name, UserAccount& account);

// What user_may_access asks for; combine with |.
inline constexpr int may_read = 4;
inline constexpr int may_write = 2;
inline constexpr int may_run = 1; // run a file, enter a folder

// user_may_access tells whether `account` may do `modes` to `path`, every
// folder on the way included, as the system would decide for a process of
// that account (asked by a short-lived child that takes on the account, so
// groups and access control lists count). Only the superuser can ask for
// another account; false when the question cannot be asked.
bool user_may_access(const UserAccount& account, std::string_view path, int modes);

// become_user makes this process `account` for good: its groups, its group
// and then its user ids (real, effective and saved), so that it cannot take
// root back; false when any of that fails.
bool become_user(const UserAccount& account);

// give_to_user makes `account` (and its primary group) the owner of the
// file or folder `path`, without following a symbolic link; false when
// that fails.
bool give_to_user(std::string_view path, const UserAccount& account);

} // namespace platform
