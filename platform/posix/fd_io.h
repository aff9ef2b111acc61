// Whole-buffer reads and writes on file descriptors, for the POSIX
// implementations of the file services and the registry store.
#pragma once

#include <string>
#include <string_view>

namespace platform::posix {

// write_all writes every byte of `bytes` to `fd`, in as many calls as the
// system needs; false (errno set) on the first failure.
bool write_all(int fd, std::string_view bytes);

// read_to_end appends everything `fd` has left to `out`; false (errno set)
// when a read fails.
bool read_to_end(int fd, std::string& out);

} // namespace platform::posix
