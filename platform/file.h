// File services for log files: append-only files written one line per call,
// existence tests, directory creation, move and delete, absolute paths.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// FileHandle is an open file; no_file stands for none.
using FileHandle = int;
inline constexpr FileHandle no_file = -1;

// open_append_file opens `path` for writing at its end, creating it (read and
// write for the owner) when it is missing and emptying it first with
// `truncate`. Other processes may open the same file at the same time.
// Returns no_file on failure.
FileHandle open_append_file(std::string_view path, bool truncate);

// write_whole writes `bytes` to the end of the file in one system call, so
// that lines appended by several processes never interleave. Returns false
// unless every byte was written.
bool write_whole(FileHandle file, std::string_view bytes);

// file_length returns the current size of the file in bytes, -1 on failure.
std::int64_t file_length(FileHandle file);

// close_file closes the file; no_file is ignored.
void close_file(FileHandle file);

// PathKind tells what a path names.
enum class PathKind { missing, file, directory };

// path_kind returns what `path` names; anything that is not a directory
// counts as a file, and a path that cannot be examined as missing.
PathKind path_kind(std::string_view path);

// create_directories creates the directory `path` and every missing parent.
// Returns whether the directory exists afterwards.
bool create_directories(std::string_view path);

// move_file renames `from` to `to`; fails when `to` exists.
bool move_file(std::string_view from, std::string_view to);

// delete_file removes the file `path`; false when there was none to remove.
bool delete_file(std::string_view path);

// absolute_path joins a relative `name` to the current working directory (as
// it is now) and removes "." and ".." components and repeated separators
// without looking at the file system. Returns "" when the working directory
// cannot be read.
std::string absolute_path(std::string_view name);

} // namespace platform
