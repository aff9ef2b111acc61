// POSIX only: profile files read and replaced whole through platform/file.h,
// a link written through to its target and a read-only file left alone; the
// text rules are platform/common/profile_text.cpp.
#include "platform/profile.h"

#include "platform/common/profile_text.h"
#include "platform/file.h"
#include "platform/posix/fd_io.h"
#include "platform/posix/settings_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>

namespace platform {

namespace {

// read_failure sets errno to why the existing file at `path` could not be
// read whole.
void read_failure(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return;
    }
    if (S_ISDIR(info.st_mode)) {
        errno = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
        errno = EINVAL;
    } else if (static_cast<std::uint64_t>(info.st_size) > max_file_contents) {
        errno = EFBIG;
    }
}

} // namespace

std::string read_profile_string(std::string_view path, std::string_view section,
                                std::string_view key, std::string_view fallback) {
    std::string text;
    if (!read_file_contents(path, text)) {
        return std::string(fallback);
    }
    return profile_text_value(text, section, key).value_or(std::string(fallback));
}

Outcome<void> write_profile_string(std::string_view path, std::string_view section,
                                   std::string_view key, std::string_view value) {
    // cannot_write is the failure with the system's last reason.
    const auto cannot_write = [&] {
        return Failure{"cannot write", std::string(path), posix::last_error_text()};
    };
    if (!valid_profile_entry(section, key, value)) {
        errno = EINVAL;
        return cannot_write();
    }
    // A link is written through, to its target.
    const std::string file = posix::link_target(path);
    if (file.empty()) {
        return cannot_write();
    }
    std::string text;
    errno = 0;
    if (!read_file_contents(file, text) && path_kind(file) != PathKind::missing) {
        read_failure(file);
        return cannot_write(); // never replace a file that could not be read
    }
    const std::string updated = profile_text_with(text, section, key, value);
    if (updated == text && path_kind(file) == PathKind::file) {
        return {};
    }
    if (!posix::may_write(file) || !replace_file_contents(file, updated)) {
        return cannot_write();
    }
    return {};
}

} // namespace platform
