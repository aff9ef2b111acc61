// POSIX only: one entry of an open folder read into a search record, as a
// search reads it and as a kept search reads it again.
#pragma once

#include "platform/fs.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>

namespace platform {

// read_entry reads the entry `name` of the folder open as `folder`, following
// links; a link whose target is missing (or that loops) is read as itself.
// Returns 0, or the error number when the entry cannot be read (ENOENT: it
// has vanished since it was listed).
inline int read_entry(int folder, const char* name, struct stat& st) {
    if (fstatat(folder, name, &st, 0) == 0 || fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return 0;
    return errno != 0 ? errno : ENOENT;
}

// fill_record sets the fields of `found` other than its name from `st`.
inline void fill_record(const struct stat& st, FoundFile& found) {
    found.isDir = S_ISDIR(st.st_mode);
    // A folder has no size of its own, as in the Windows search records.
    found.size = found.isDir || st.st_size < 0 ? 0 : static_cast<std::uint64_t>(st.st_size);
    found.hasTime = true;
    found.seconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    // Whole milliseconds, as in the Windows search records: two files
    // written in the same millisecond have the same time.
    found.microseconds = static_cast<std::int32_t>(st.st_mtim.tv_nsec / 1000000) * 1000;
}

} // namespace platform
