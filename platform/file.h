// File services: append-only log files written one record per call (also
// confined to the working directory), whole files read and written at once, existence tests,
// directory creation, move and delete, the working directory and absolute paths.
// A service whose callers tell why it failed returns an Outcome.
#pragma once

#include "platform/failure.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// FileHandle is an open file; no_file stands for none.
using FileHandle = int;
inline constexpr FileHandle no_file = -1;

// open_append_file opens `path` for writing at its end, creating it (read and
// write for everyone, less the umask) when it is missing and emptying it first with
// `truncate`. Other processes may open the same file at the same time.
// Fails with the system's reason.
Outcome<FileHandle> open_append_file(std::string_view path, bool truncate);

// open_append_file_at_once opens `path` as open_append_file does (without
// truncating), but never waits: a named pipe without a reader fails at once.
// `special` tells a file that is no regular file on a disk (a named pipe
// with a reader, a device): it is open all the same, for the caller to
// keep until it has opened the file again as it writes such files, so that
// a pipe's reader sees no end of input between. Fails, with the system's
// reason, when it is not opened.
Outcome<FileHandle> open_append_file_at_once(std::string_view path, bool& special);

// open_append_file_inside opens `relative`, a path below the working
// directory in the system's separators, for writing at its end, creating the
// file (read and write for everyone, less the umask) and its missing folders
// (a folder another process makes at the same time is used as it is). It
// follows no symbolic link (on Windows: no reparse point) on the way, and the
// file must be a regular file with no other name (one hard link): otherwise,
// and for an absolute path or a ".." component, it fails and creates nothing
// more.
Outcome<FileHandle> open_append_file_inside(std::string_view relative);

// append_record writes `bytes` to the end of the append-only `file` in one
// system call, so that records appended by several processes never
// interleave. When the system takes only a part (a full disk, the file size
// limit) that part is cut off again, unless another writer has appended
// behind it already, so the file does not end in half a record. Returns false
// unless every byte was written.
bool append_record(FileHandle file, std::string_view bytes);

// file_length returns the current size of the file in bytes, -1 on failure.
std::int64_t file_length(FileHandle file);

// close_file closes the file; no_file is ignored.
void close_file(FileHandle file);

// max_file_contents is the largest file read_file_contents reads: 1 MiB.
inline constexpr std::size_t max_file_contents = std::size_t{1} << 20;

// read_file_contents reads the whole file `path` into `bytes`; false, with
// `bytes` empty, when it cannot be opened or read. Symbolic links are
// followed. A file larger than max_file_contents, and anything that is not
// a regular file (a named pipe, a device, a folder), counts as a file that
// cannot be read: nothing waits for a writer and the memory stays bounded.
bool read_file_contents(std::string_view path, std::string& bytes);

// write_new_file creates the file `path` holding `bytes`. Fails when a file
// of that name exists already (it is left alone) or the bytes cannot all be
// written (the partial file is removed again).
Outcome<void> write_new_file(std::string_view path, std::string_view bytes);

// replace_file_contents makes `bytes` the whole content of `path`, creating
// it when missing. The bytes go to "<path>.tmp" first, which is then renamed
// over the file, so a failure leaves the old file whole; where no file can
// be created beside it the file is rewritten in place. The file keeps its
// access rights.
bool replace_file_contents(std::string_view path, std::string_view bytes);

// FileStamp tells one version of a regular file from another: the file
// (device and file number) with its size and modification time.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::uint64_t size = 0;
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

// file_stamp reads the stamp of the regular file `path` (links followed);
// false when it is no regular file or cannot be examined.
bool file_stamp(std::string_view path, FileStamp& stamp);

// PathKind tells what a path names.
enum class PathKind { missing, file, directory };

// path_kind returns what `path` names; anything that is not a directory
// counts as a file, and a path that cannot be examined as missing.
PathKind path_kind(std::string_view path);

// create_directories creates the directory `path` and every missing parent;
// it succeeds when the directory exists afterwards.
Outcome<void> create_directories(std::string_view path);

// move_file renames `from` to `to`; fails when `to` exists.
Outcome<void> move_file(std::string_view from, std::string_view to);

// delete_file removes the file `path`; false when there was none to remove.
bool delete_file(std::string_view path);

// current_directory returns the working directory; "" when it cannot be
// read.
std::string current_directory();

// set_current_directory makes `path` the working directory.
Outcome<void> set_current_directory(std::string_view path);

// max_path_length is the longest absolute path the system takes, in bytes
// (260 on Windows, PATH_MAX less its terminator on POSIX).
std::size_t max_path_length();

// absolute_path joins a relative `name` to the current working directory (as
// it is now) and removes "." and ".." components and repeated separators
// without looking at the file system. Returns "" when the working directory
// cannot be read.
std::string absolute_path(std::string_view name);

} // namespace platform

// ---- a lock between processes -------------------------------------------

namespace platform {

// FileLock holds an exclusive lock on a lock file for as long as it lives,
// so that processes that change one file take turns. The lock file is
// created when missing and left in place; closing it releases the lock,
// also when the process ends.
class FileLock {
  public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // acquire opens the lock file `path` and waits until this process holds
    // its lock. Fails, with the system's reason, when the file cannot be
    // opened or locked or this lock is held already.
    Outcome<void> acquire(std::string_view path);

  private:
    FileHandle m_file = no_file;
};

} // namespace platform

// ---- a seam for tests ---------------------------------------------------

namespace platform {

// ReplaceHook is called with the temporary file's path after
// replace_file_contents has written the new bytes to it and before they
// replace the file.
using ReplaceHook = void (*)(const std::string& temporary_path);

// set_replace_hook installs `hook` for the whole process (nullptr removes
// it): a seam for tests that end the process at that point.
void set_replace_hook(ReplaceHook hook);

} // namespace platform
