// File system services: directory search, full paths and path syntax.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

// FoundFile is one record of a directory search.
struct FoundFile {
    std::string_view name;    // the entry's name inside its folder, as stored;
                              // valid only while the record is being visited
    bool isDir = false;       // the entry is a folder (links are followed)
    std::uint64_t size = 0;   // size in bytes
    bool hasTime = false;     // false when the last-write time is unknown
    std::int64_t seconds = 0; // last-write time, seconds since 1970 (UTC)
    // The part of the time below the second, in microseconds; whole
    // milliseconds (a multiple of 1000) on every system.
    std::int32_t microseconds = 0;
};

// SearchEnd tells how a directory search ended.
enum class SearchEnd {
    complete,     // every record of the folder was read
    not_searched, // the folder could not be searched
    read_error,   // reading the folder failed part-way
};

// SearchResult is how a search ended and, after a read error, the system's
// error number (errno, or the Windows error code).
struct SearchResult {
    SearchEnd end = SearchEnd::complete;
    int error = 0;
    bool remembered = false; // answered from a search kept by keep_searches
};

// find_files searches the folder named by the part of `pattern` before its
// last separator (the working directory when there is none) for the names
// that match the last component, a wildcard with the Windows meaning ("*"
// any run, "?" one character, letter case ignored, "*.*" every name).
// Hands each record to `visit` in the order the file system returns them,
// "." and ".." included; nothing is kept, so a folder of any size costs no
// memory here. An entry that vanishes while it is read is left out. The
// result tells a search that read the whole folder from one that could not
// start (nothing visited) and from one that a read error ended part-way (the
// records before it visited).
SearchResult find_files(std::string_view pattern,
                        const std::function<void(const FoundFile&)>& visit);

// SearchKeeping bounds what keep_searches keeps.
struct SearchKeeping {
    // Records of all kept folders together; a folder with more is not kept,
    // and the folder searched least recently goes first. 0 keeps nothing.
    std::size_t records = 20000;
    // A kept search older than this is read again: a write through a shared
    // memory mapping changes a file's time without any notice.
    std::uint32_t maxAgeMs = 1000;
};

// keep_searches makes find_files keep the records of each folder it reads
// whole and answer the next search of that folder from them, for as long as
// the system's change notices say that they are still what a search would
// read (entries that the notices do not cover, such as folders, links and
// files with other names elsewhere, are read again on every search). For a
// process that answers many requests, called once before its first search:
// the notice descriptor is opened at once and stays open. Only folders on
// local file systems whose notices are complete are kept; a folder that
// cannot be watched is searched as without it, and so is every search while
// a directory read hook is installed. Calling it again replaces the bounds
// and forgets what was kept. Returns whether searches are kept (never on
// Windows, whose searches stay as they are).
bool keep_searches(const SearchKeeping& keeping = {});

// DirectoryReadHook is called before each record of a search is read, with
// the number of records read so far; a non-zero result fails that read with
// that error number, as a read error of the system would.
using DirectoryReadHook = int (*)(std::size_t recordsRead);

// set_directory_read_hook installs `hook` for the whole process (nullptr
// removes it). A seam for tests that fail a search part-way.
void set_directory_read_hook(DirectoryReadHook hook);

// full_path returns `name` joined to the working directory, without resolving
// links; a name that is already absolute is returned unchanged.
std::string full_path(std::string_view name);

// path_separator is the character that separates path components.
char path_separator();

// path_root_length returns the length of the root of `path` (the part that a
// last-component search must not look into), or -1 when the path is malformed.
std::ptrdiff_t path_root_length(std::string_view path);

// href_keeps_double_byte tells whether a link to a file may carry its
// double-byte characters unencoded. Where names are plain bytes the browser's
// re-encoding of such a link would miss the file, so every byte >= 0x80 is
// percent-encoded instead.
bool href_keeps_double_byte();

} // namespace platform
