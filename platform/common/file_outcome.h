// The outcome of a file service from its own result, for the POSIX and the
// Win32 implementations alike: only where the system keeps its last reason
// differs.
#pragma once

#include "platform/failure.h"
#include "platform/file.h"

#include <string>
#include <string_view>

namespace platform::file_outcome {

// last_failure is the failure of `operation` on `path` for the system's last
// reason (errno, GetLastError), which it leaves as it found it for the
// caller's own look. Each implementation defines it.
Failure last_failure(const char* operation, std::string_view path);

// done is the outcome of `operation` on `path`: a success when `ok`.
inline Outcome<void> done(bool ok, const char* operation, std::string_view path) {
    if (ok) {
        return {};
    }
    return last_failure(operation, path);
}

// opened is the outcome of opening `path`: the `file`, unless no_file.
inline Outcome<FileHandle> opened(FileHandle file, std::string_view path) {
    if (file != no_file) {
        return file;
    }
    return last_failure("cannot open", path);
}

} // namespace platform::file_outcome
