// POSIX only: directories through opendir/readdir and fstatat, paths with "/" and getcwd.
#include "platform/fs.h"
#include "platform/common/ascii.h"
#include "platform/text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace platform {

namespace {

// same_character compares one pattern character with one name character:
// single-byte ones without regard to ASCII letter case, double-byte ones
// exactly (a trail byte that looks like a letter is not a letter).
bool same_character(std::string_view p, std::size_t pi, std::size_t pl, std::string_view n,
                    std::size_t ni, std::size_t nl) {
    if (pl != nl) {
        return false;
    }
    if (pl == 1) {
        return ascii::lower(p[pi]) == ascii::lower(n[ni]);
    }
    return p[pi] == n[ni] && p[pi + 1] == n[ni + 1];
}

// glob_match matches `name` against `pattern` character by character ("*" any
// run, "?" one character, a double-byte character counting as one). On a
// mismatch the last "*" takes one more character of the name and the rest is
// tried again, which is enough because a later "*" can absorb anything an
// earlier one could.
bool glob_match(std::string_view pattern, std::string_view name) {
    std::size_t pi = 0;
    std::size_t ni = 0;
    std::size_t starPattern = std::string_view::npos;
    std::size_t starName = 0;
    while (ni < name.size()) {
        const std::size_t nl = char_length(name, ni);
        if (pi < pattern.size()) {
            if (pattern[pi] == '*') {
                starPattern = ++pi;
                starName = ni;
                continue;
            }
            const std::size_t pl = char_length(pattern, pi);
            if (pattern[pi] == '?' || same_character(pattern, pi, pl, name, ni, nl)) {
                pi += pl;
                ni += nl;
                continue;
            }
        }
        if (starPattern == std::string_view::npos) {
            return false;
        }
        starName += char_length(name, starName);
        pi = starPattern;
        ni = starName;
    }
    while (pi < pattern.size() && pattern[pi] == '*') {
        ++pi;
    }
    return pi == pattern.size();
}

// wildcard_match gives the Windows meaning of a search wildcard: a final ".*"
// may also match nothing at the end of the name, so "*.*" matches every name
// and "readme.*" also matches "readme".
bool wildcard_match(std::string_view pattern, std::string_view name) {
    if (glob_match(pattern, name)) {
        return true;
    }
    return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
           glob_match(pattern.substr(0, pattern.size() - 2), name);
}

// matches_every_name tells whether `pattern` matches any name at all, so
// that the scan can skip the matching.
bool matches_every_name(std::string_view pattern) {
    return pattern == "*.*" || (!pattern.empty() && pattern.find_first_not_of('*') == pattern.npos);
}

// DirCloser closes an open directory stream when the scan ends.
struct DirCloser {
    DIR* dir;
    ~DirCloser() { closedir(dir); }
};

// The test seam of set_directory_read_hook.
std::atomic<DirectoryReadHook> read_hook{nullptr};

// The working directory as this thread last read it, and whether it must be
// read again. Per thread, as scans are.
thread_local std::string t_cwd;
thread_local bool t_cwdStale = true;

// working_directory returns the working directory as read at the thread's
// first call after its last scan began, or "" when it cannot be read: one
// getcwd per scan however many names it joins, and a process that changes
// its working directory between scans (a FastCGI child on its next request)
// joins names to the new one.
const std::string& working_directory() {
    if (t_cwdStale) {
        t_cwdStale = false;
        std::string buffer(256, '\0');
        for (;;) {
            if (getcwd(buffer.data(), buffer.size()) != nullptr) {
                buffer.resize(std::strlen(buffer.c_str()));
                break;
            }
            if (errno != ERANGE) {
                buffer.clear();
                break;
            }
            buffer.resize(buffer.size() * 2);
        }
        t_cwd = std::move(buffer);
    }
    return t_cwd;
}

} // namespace

SearchResult find_files(std::string_view pattern,
                        const std::function<void(const FoundFile&)>& visit) {
    t_cwdStale = true;
    const std::size_t slash = pattern.rfind('/');
    std::string folder;
    std::string_view wildcard = pattern;
    if (slash == std::string_view::npos) {
        folder = ".";
    } else {
        folder.assign(pattern.substr(0, slash == 0 ? 1 : slash));
        wildcard = pattern.substr(slash + 1);
    }
    if (folder.find('\0') != std::string::npos) {
        return {SearchEnd::not_searched};
    }
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return {SearchEnd::not_searched};
    }
    const DirCloser closer{dir};
    const int fd = dirfd(dir);
    if (fd < 0) {
        return {SearchEnd::not_searched};
    }
    const bool everyName = matches_every_name(wildcard);
    FoundFile found;
    std::size_t recordsRead = 0;
    for (;;) {
        const DirectoryReadHook hook = read_hook.load(std::memory_order_relaxed);
        if (const int error = hook != nullptr ? hook(recordsRead) : 0; error != 0) {
            return {SearchEnd::read_error, error};
        }
        // readdir's null is the end of the folder or a read error; only
        // errno tells them apart.
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) {
                return {SearchEnd::read_error, errno};
            }
            return {SearchEnd::complete};
        }
        ++recordsRead;
        const char* name = entry->d_name;
        const std::size_t length = std::strlen(name);
        if (!everyName && !wildcard_match(wildcard, std::string_view(name, length))) {
            continue;
        }
        struct stat st;
        if (fstatat(fd, name, &st, 0) != 0) {
            // A link whose target is missing (or that loops) is listed as
            // itself; an entry that has vanished since readdir is left out.
            if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;
            }
        }
        found.name = std::string_view(name, length);
        found.isDir = S_ISDIR(st.st_mode);
        // A folder has no size of its own, as in the Windows search records.
        found.size = found.isDir || st.st_size < 0 ? 0 : static_cast<std::uint64_t>(st.st_size);
        found.hasTime = true;
        found.seconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
        // Whole milliseconds, as in the Windows search records: two files
        // written in the same millisecond have the same time.
        found.microseconds = static_cast<std::int32_t>(st.st_mtim.tv_nsec / 1000000) * 1000;
        visit(found);
    }
}

void set_directory_read_hook(DirectoryReadHook hook) {
    read_hook.store(hook, std::memory_order_relaxed);
}

std::string full_path(std::string_view name) {
    if (!name.empty() && name.front() == '/') {
        return std::string(name);
    }
    const std::string& cwd = working_directory();
    if (cwd.empty()) {
        return std::string(name);
    }
    std::string path;
    path.reserve(cwd.size() + 1 + name.size());
    path += cwd;
    if (path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

char path_separator() {
    return '/';
}

std::ptrdiff_t path_root_length(std::string_view path) {
    return !path.empty() && path.front() == '/' ? 1 : 0;
}

bool href_keeps_double_byte() {
    return false;
}

} // namespace platform
