// Stream services of the C run-time library: the response of a request.
#pragma once

#include <cstdio>
#include <string_view>

namespace platform {

// set_binary_mode makes the stream pass "\n" and "\r\n" through unchanged.
void set_binary_mode(std::FILE* stream);

// write_response writes `head` and then `body` to the file under `stream`,
// after what the stream has buffered, in one system call when the system
// takes it whole. Returns false when a write fails.
bool write_response(std::FILE* stream, std::string_view head, std::string_view body);

} // namespace platform
