// POSIX only: the rules for rewriting a settings file that the tool and the
// web server share (the profile files, the registry store): a symbolic link
// is written through, to its target, and a read-only file is left alone.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

namespace platform::posix {

// link_target follows symbolic links from `path` to the file they lead to
// (which need not exist yet), so that a write replaces that file and not the
// link. `path` itself when it is no link; "" when the links go round.
inline std::string link_target(std::string_view path) {
    if (path.empty() || path.find('\0') != std::string_view::npos) {
        errno = EINVAL;
        return std::string();
    }
    std::string current(path);
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return current;
        }
        std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1,
                           '\0');
        const ssize_t got = readlink(current.c_str(), target.data(), target.size());
        if (got < 0 || static_cast<std::size_t>(got) >= target.size()) {
            return current; // changed meanwhile: the write sees what is there
        }
        target.resize(static_cast<std::size_t>(got));
        if (target.front() != '/') {
            const std::size_t slash = current.find_last_of('/');
            target.insert(0, slash == std::string::npos ? std::string()
                                                        : current.substr(0, slash + 1));
        }
        current = std::move(target);
    }
    errno = ELOOP;
    return std::string();
}

// may_write tells whether the existing file at `path` may be written: the
// system allows it and the file has a write right at all (root passes the
// first test for every file; a file made read-only stays read-only for the
// tool, as the read-only attribute does on Windows). A missing file may be.
inline bool may_write(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path.c_str(), W_OK) != 0) {
        errno = EACCES;
        return false;
    }
    return true;
}

} // namespace platform::posix
