// File descriptors for the POSIX implementations of the platform services:
// opens and whole-buffer writes, retried after signals, and the reason
// for the last failure.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <string>
#include <string_view>

namespace platform::posix {

// open_retrying opens `name` as openat does, relative to the folder `dir`
// (the working directory by default), again when a signal interrupted the
// call. Every file the POSIX services open goes through it.
int open_retrying(const char* name, int flags, mode_t mode = 0, int dir = AT_FDCWD);

// write_all writes every byte of `bytes` to `fd`, in as many calls as the
// system needs; false (errno set) on the first failure.
bool write_all(int fd, std::string_view bytes);

// last_error_text returns the system's reason for errno ("No such file or
// directory"), "unknown error" when it is 0.
std::string last_error_text();

} // namespace platform::posix
