// Whole-buffer writes on file descriptors, for the POSIX implementations of
// the file services.
#pragma once

#include <string_view>

namespace platform::posix {

// write_all writes every byte of `bytes` to `fd`, in as many calls as the
// system needs; false (errno set) on the first failure.
bool write_all(int fd, std::string_view bytes);

} // namespace platform::posix
