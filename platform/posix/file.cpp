// POSIX only: files through open/read/write (O_APPEND, O_EXCL), stat, mkdir, rename, unlink,
// getcwd and chdir; appends inside the working directory through openat
// without following links.
#include "platform/file.h"

#include "platform/common/file_outcome.h"
#include "platform/posix/fd_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

namespace platform {

namespace {

// c_path makes a terminated copy of `path`; false for an empty path or one
// with an embedded NUL, which no system call could name.
bool c_path(std::string_view path, std::string& out) {
    if (path.empty() || path.find('\0') != std::string_view::npos) {
        return false;
    }
    out.assign(path);
    return true;
}

// New files: read and write for everyone, less the umask.
constexpr mode_t everyone_read_write = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;

std::atomic<ReplaceHook> replace_hook{nullptr};

// sync_folder_of makes a rename in the folder of `path` durable; a failure
// loses nothing already written.
void sync_folder_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
    const int fd = posix::open_retrying(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd >= 0) {
        (void)fsync(fd);
        close(fd);
    }
}

// write_and_close writes `bytes` to `fd`, flushes them to the disk and
// closes it; false when any of that fails.
bool write_and_close(int fd, std::string_view bytes) {
    const bool written = posix::write_all(fd, bytes) && fsync(fd) == 0;
    return close(fd) == 0 && written;
}

} // namespace

Failure file_outcome::last_failure(const char* operation, std::string_view path) {
    const int code = errno;
    Failure failure{operation, std::string(path), posix::last_error_text()};
    errno = code;
    return failure;
}

std::string current_directory() {
    std::string buffer(256, '\0');
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()) != nullptr) {
            buffer.resize(std::strlen(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE) {
            return std::string();
        }
        buffer.resize(buffer.size() * 2);
    }
}

namespace {

// enter_directory is set_current_directory, errno set on failure.
bool enter_directory(std::string_view path) {
    std::string name;
    return c_path(path, name) && chdir(name.c_str()) == 0;
}

} // namespace

bool read_file_contents(std::string_view path, std::string& bytes) {
    bytes.clear();
    std::string name;
    if (!c_path(path, name)) {
        return false;
    }
    // Without blocking: opening a named pipe waits for no writer, and only a
    // regular file is read.
    const int fd =
        posix::open_retrying(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<std::uint64_t>(info.st_size) > max_file_contents) {
        close(fd);
        return false;
    }
    // One byte more than the limit tells a file that grew since fstat.
    bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t got = 0;
    bool ok = true;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() > max_file_contents) {
                ok = false;
                break;
            }
            bytes.resize(std::min(bytes.size() * 2, max_file_contents + 1));
        }
        const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ok = false;
            break;
        }
    }
    close(fd);
    if (!ok) {
        bytes.clear();
        return false;
    }
    bytes.resize(got);
    return true;
}

namespace {

// create_new_file is write_new_file, errno set on failure.
bool create_new_file(std::string_view path, std::string_view bytes) {
    std::string name;
    if (!c_path(path, name)) {
        return false;
    }
    const int fd = posix::open_retrying(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                        S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH);
    if (fd < 0) {
        return false;
    }
    if (!write_and_close(fd, bytes)) {
        const int code = errno; // the reason, not the clean-up's
        unlink(name.c_str());
        errno = code;
        return false;
    }
    return true;
}

} // namespace

bool replace_file_contents(std::string_view path, std::string_view bytes) {
    std::string name;
    if (!c_path(path, name)) {
        return false;
    }
    // A new file gets the usual rights (less the umask); an existing one
    // keeps its own.
    mode_t mode = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
    struct stat info {};
    const bool existed = stat(name.c_str(), &info) == 0;
    if (existed) {
        if (!S_ISREG(info.st_mode)) {
            errno = EISDIR;
            return false;
        }
        mode = info.st_mode & 07777;
    }
    const std::string temp = name + ".tmp";
    const int fd =
        posix::open_retrying(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd >= 0) {
        if (existed) {
            fchmod(fd, mode); // the umask may have taken rights away
        }
        const bool written = write_and_close(fd, bytes);
        if (written) {
            if (const ReplaceHook hook = replace_hook.load()) {
                hook(temp);
            }
        }
        if (written && rename(temp.c_str(), name.c_str()) == 0) {
            sync_folder_of(name);
            return true;
        }
        const int code = errno;
        unlink(temp.c_str());
        errno = code;
        return false;
    }
    // No file can be made beside it (a read-only folder): rewrite in place.
    const int in =
        posix::open_retrying(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    return in >= 0 && write_and_close(in, bytes);
}

namespace {

// open_append is open_append_file, errno set on failure.
FileHandle open_append(std::string_view path, bool truncate) {
    std::string name;
    if (!c_path(path, name)) {
        return no_file;
    }
    int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC;
    if (truncate) {
        flags |= O_TRUNC;
    }
    // As any program creates a file: the umask and the folder decide who
    // else may append.
    const int fd = posix::open_retrying(name.c_str(), flags, everyone_read_write);
    return fd >= 0 ? fd : no_file;
}

// open_nofollow opens `name` in the folder `dir` without following a link
// in the last component.
int open_nofollow(int dir, const std::string& name, int flags, mode_t mode = 0) {
    return posix::open_retrying(name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode, dir);
}

// open_append_inside is open_append_file_inside, errno set on failure.
FileHandle open_append_inside(std::string_view relative) {
    if (relative.empty() || relative.front() == '/' ||
        relative.find('\0') != std::string_view::npos) {
        return no_file;
    }
    int dir = open_nofollow(AT_FDCWD, ".", O_RDONLY | O_DIRECTORY);
    std::size_t start = 0;
    for (;;) {
        if (dir < 0) {
            return no_file;
        }
        const std::size_t slash = relative.find('/', start);
        const std::string name(relative.substr(start, slash - start));
        if (name == "..") {
            close(dir);
            return no_file;
        }
        if (slash == std::string_view::npos) {
            // The file itself: opened without blocking (a named pipe without
            // a reader fails at once) and kept only when it is a regular
            // file of one name.
            const int fd =
                name.empty() || name == "."
                    ? -1
                    : open_nofollow(dir, name, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK,
                                    everyone_read_write);
            close(dir);
            struct stat info {};
            if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1) {
                const int flags = fcntl(fd, F_GETFL);
                if (flags != -1) {
                    fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
                }
                return fd;
            }
            if (fd >= 0) {
                close(fd);
                errno = EPERM; // a special file or one of several names
            }
            return no_file;
        }
        start = slash + 1;
        if (name.empty() || name == ".") {
            continue;
        }
        int next = open_nofollow(dir, name, O_RDONLY | O_DIRECTORY);
        // A folder that another process made a moment ago is as good as one
        // made here.
        if (next < 0 && errno == ENOENT &&
            (mkdirat(dir, name.c_str(), S_IRWXU | S_IRWXG | S_IRWXO) == 0 || errno == EEXIST)) {
            next = open_nofollow(dir, name, O_RDONLY | O_DIRECTORY);
        }
        close(dir);
        dir = next;
    }
}

// open_append_at_once is open_append_file_at_once, errno set on failure.
FileHandle open_append_at_once(std::string_view path, bool& special) {
    special = false;
    std::string name;
    if (!c_path(path, name)) {
        return no_file;
    }
    const int fd = posix::open_retrying(
        name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, everyone_read_write);
    if (fd < 0) {
        return no_file;
    }
    struct stat info {};
    // O_NONBLOCK stays: a write to a regular file does not heed it.
    special = fstat(fd, &info) != 0 || !S_ISREG(info.st_mode);
    return fd;
}

} // namespace

bool file_stamp(std::string_view path, FileStamp& stamp) {
    std::string name;
    struct stat info {};
    if (!c_path(path, name) || stat(name.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    stamp.device = static_cast<std::uint64_t>(info.st_dev);
    stamp.file = static_cast<std::uint64_t>(info.st_ino);
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.seconds = static_cast<std::int64_t>(info.st_mtim.tv_sec);
    stamp.nanoseconds = static_cast<std::int64_t>(info.st_mtim.tv_nsec);
    return true;
}

bool append_record(FileHandle file, std::string_view bytes) {
    if (file < 0) {
        return false;
    }
    if (bytes.empty()) {
        return true;
    }
    ssize_t written = -1;
    do {
        written = write(file, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0) {
        return false;
    }
    if (static_cast<std::size_t>(written) == bytes.size()) {
        return true;
    }
    // In append mode the offset stands right behind the bytes just written.
    const off_t end = lseek(file, 0, SEEK_CUR);
    struct stat info {};
    if (end >= written && fstat(file, &info) == 0 && info.st_size == end) {
        (void)ftruncate(file, end - written);
    }
    return false;
}

std::int64_t file_length(FileHandle file) {
    struct stat info {};
    if (file < 0 || fstat(file, &info) != 0) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_size);
}

void close_file(FileHandle file) {
    if (file >= 0) {
        close(file);
    }
}

PathKind path_kind(std::string_view path) {
    std::string name;
    struct stat info {};
    if (!c_path(path, name) || stat(name.c_str(), &info) != 0) {
        return PathKind::missing;
    }
    return S_ISDIR(info.st_mode) ? PathKind::directory : PathKind::file;
}

namespace {

// make_directories is create_directories, errno set on failure.
bool make_directories(std::string_view path) {
    std::string name;
    if (!c_path(path, name)) {
        return false;
    }
    while (name.size() > 1 && name.back() == '/') {
        name.pop_back();
    }
    if (path_kind(name) == PathKind::directory) {
        return true;
    }
    // Create each prefix that ends before a separator, then the whole path;
    // a prefix that exists already is no failure.
    int failure = 0;
    for (std::size_t slash = name.find('/', 1);; slash = name.find('/', slash + 1)) {
        const std::string prefix = name.substr(0, slash);
        if (mkdir(prefix.c_str(), S_IRWXU | S_IRWXG | S_IRWXO) != 0 && errno != EEXIST) {
            failure = errno;
            break;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    if (path_kind(name) == PathKind::directory) {
        return true;
    }
    // The reason, not the last look's; a file in the way is no folder.
    errno = failure != 0 ? failure : ENOTDIR;
    return false;
}

// rename_file is move_file, errno set on failure.
bool rename_file(std::string_view from, std::string_view to) {
    std::string source;
    std::string target;
    if (!c_path(from, source) || !c_path(to, target)) {
        return false;
    }
    struct stat info {};
    if (lstat(target.c_str(), &info) == 0) {
        return false;
    }
    return rename(source.c_str(), target.c_str()) == 0;
}

} // namespace

bool delete_file(std::string_view path) {
    std::string name;
    return c_path(path, name) && unlink(name.c_str()) == 0;
}

std::size_t max_path_length() {
    // PATH_MAX counts the terminating NUL.
    return PATH_MAX - 1;
}

std::string absolute_path(std::string_view name) {
    std::string joined;
    if (name.empty() || name.front() != '/') {
        joined = current_directory();
        if (joined.empty()) {
            return std::string();
        }
        joined += '/';
    }
    joined += name;

    // Rebuild the path from its components: "." and empty ones vanish, ".."
    // takes back the component before it (never past the root).
    std::vector<std::string_view> parts;
    const std::string_view text(joined);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('/', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view part = text.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string path;
    path.reserve(joined.size());
    for (const std::string_view part : parts) {
        path += '/';
        path += part;
    }
    // A trailing separator stays: the caller may have named a directory.
    if (path.empty() || (joined.back() == '/' && path.back() != '/')) {
        path += '/';
    }
    return path;
}

FileLock::~FileLock() {
    close_file(m_file); // closing releases the lock
}

namespace {

// lock_file opens the lock file `path` and waits for its lock; no_file
// (errno set) when it cannot.
FileHandle lock_file(std::string_view path) {
    std::string name;
    if (!c_path(path, name)) {
        errno = EINVAL;
        return no_file;
    }
    const int fd = posix::open_retrying(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return no_file;
    }
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const int code = errno;
            close(fd);
            errno = code;
            return no_file;
        }
    }
    return fd;
}

} // namespace

Outcome<void> FileLock::acquire(std::string_view path) {
    errno = 0;
    if (m_file != no_file) {
        errno = EINVAL; // held already
        return file_outcome::last_failure("cannot lock", path);
    }
    m_file = lock_file(path);
    return file_outcome::done(m_file != no_file, "cannot lock", path);
}

// ---- the services that tell why they failed ----------------------------

Outcome<void> set_current_directory(std::string_view path) {
    errno = 0;
    return file_outcome::done(enter_directory(path), "cannot enter", path);
}

Outcome<void> write_new_file(std::string_view path, std::string_view bytes) {
    errno = 0;
    return file_outcome::done(create_new_file(path, bytes), "cannot create", path);
}

Outcome<FileHandle> open_append_file(std::string_view path, bool truncate) {
    errno = 0;
    return file_outcome::opened(open_append(path, truncate), path);
}

Outcome<FileHandle> open_append_file_inside(std::string_view relative) {
    errno = 0;
    return file_outcome::opened(open_append_inside(relative), relative);
}

Outcome<FileHandle> open_append_file_at_once(std::string_view path, bool& special) {
    errno = 0;
    return file_outcome::opened(open_append_at_once(path, special), path);
}

Outcome<void> create_directories(std::string_view path) {
    errno = 0;
    return file_outcome::done(make_directories(path), "cannot create the folder", path);
}

Outcome<void> move_file(std::string_view from, std::string_view to) {
    errno = 0;
    return file_outcome::done(rename_file(from, to), "cannot move", from);
}

void set_replace_hook(ReplaceHook hook) {
    replace_hook.store(hook);
}

} // namespace platform
