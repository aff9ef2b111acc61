// Win32 only: no account switching here; a process runs as whoever started
// it, so there is no other account to look up or to hand files to.
#include "platform/user.h"

namespace platform {

bool running_as_superuser() {
    return false;
}

std::string current_user_name() {
    return std::string();
}

bool find_user(std::string_view, UserAccount&) {
    return false;
}

bool find_user_in_files(std::string_view, UserAccount&) {
    return false;
}

bool user_may_access(const UserAccount&, std::string_view, int) {
    return false;
}

bool become_user(const UserAccount&) {
    return false;
}

bool give_to_user(std::string_view, const UserAccount&) {
    return false;
}

} // namespace platform
