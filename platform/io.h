// Stream and time services of the C run-time library.
#pragma once

#include "platform/file.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// set_binary_mode makes the stream pass "\n" and "\r\n" through unchanged.
void set_binary_mode(std::FILE* stream);

// write_response writes `head` and then `body` to the file under `stream`,
// after what the stream has buffered, in one system call when the system
// takes it whole. Returns false when a write fails.
bool write_response(std::FILE* stream, std::string_view head, std::string_view body);

// append_record writes `bytes` to the end of the append-only `file` in one
// system call. When the system takes only a part (a full disk, the file size
// limit) that part is cut off again, unless another writer has appended
// behind it already, so the file does not end in half a record. Returns false
// unless every byte was written.
bool append_record(FileHandle file, std::string_view bytes);

// LocalTime is a point in time as the local calendar shows it.
struct LocalTime {
    std::int64_t year = 0; // e.g. 2004
    int month = 0;         // 1-12
    int day = 0;           // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// to_local_time converts `seconds` since 1970 (UTC) to the local calendar of
// the process's time zone. Returns false when the time cannot be converted.
bool to_local_time(std::int64_t seconds, LocalTime& out);

// LocalZone converts many times to the local calendar, each as to_local_time
// does, at a fraction of its cost: the process's time zone is taken as it
// stands when the object is made.
class LocalZone {
  public:
    LocalZone();
    bool convert(std::int64_t seconds, LocalTime& out) const;

  private:
    bool m_systemZone = false; // the process uses the system's default zone
};

// current_time returns the system clock as seconds since 1970 (UTC) and
// microseconds.
void current_time(std::int64_t& seconds, std::int32_t& microseconds);

} // namespace platform
