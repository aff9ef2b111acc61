// Stream and time services of the C run-time library.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// set_binary_mode makes the stream pass "\n" and "\r\n" through unchanged.
void set_binary_mode(std::FILE* stream);

// format_local_time converts `seconds` since 1970 (UTC) to local time in the
// process's time zone and formats it with strftime `format` into `out`.
// Returns false, leaving `out` empty, when the time cannot be converted or
// its text is longer than `max_bytes`.
bool format_local_time(std::int64_t seconds, const char* format, std::size_t max_bytes,
                       std::string& out);

// current_time returns the system clock as seconds since 1970 (UTC) and
// microseconds.
void current_time(std::int64_t& seconds, std::int32_t& microseconds);

} // namespace platform
