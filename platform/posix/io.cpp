// POSIX only: streams never translate line ends; a record cut short by a full
// disk is cut off again; times through localtime_r and clock_gettime, and
// through the zone file itself for whole folders of times.
#include "platform/io.h"

#include "platform/common/local_time.h"
#include "platform/common/zone_rules.h"
#include "platform/file.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

namespace platform {

void set_binary_mode(std::FILE* stream) {
    // POSIX streams pass every byte through unchanged already.
    (void)stream;
}

bool write_response(std::FILE* stream, std::string_view head, std::string_view body) {
    if (std::fflush(stream) != 0)
        return false;
    const int fd = fileno(stream);
    if (fd < 0) {
        // A stream without a file (a FastCGI request's output) takes both
        // parts through its own writes.
        return std::fwrite(head.data(), 1, head.size(), stream) == head.size() &&
               std::fwrite(body.data(), 1, body.size(), stream) == body.size() &&
               std::fflush(stream) == 0;
    }
    iovec parts[2] = {{const_cast<char*>(head.data()), head.size()},
                      {const_cast<char*>(body.data()), body.size()}};
    iovec* next = parts;
    int count = 2;
    while (count > 0) {
        if (next->iov_len == 0) {
            ++next;
            --count;
            continue;
        }
        const ssize_t n = writev(fd, next, count);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        // A pipe may take part of it: go on behind what was written.
        auto written = static_cast<std::size_t>(n);
        while (count > 0 && written >= next->iov_len) {
            written -= next->iov_len;
            ++next;
            --count;
        }
        if (count > 0) {
            next->iov_base = static_cast<char*>(next->iov_base) + written;
            next->iov_len -= written;
        }
    }
    return true;
}

bool append_record(FileHandle file, std::string_view bytes) {
    if (file < 0)
        return false;
    if (bytes.empty())
        return true;
    ssize_t written = -1;
    do {
        written = write(file, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0)
        return false;
    if (static_cast<std::size_t>(written) == bytes.size())
        return true;
    // In append mode the offset stands right behind the bytes just written.
    const off_t end = lseek(file, 0, SEEK_CUR);
    struct stat info {};
    if (end >= written && fstat(file, &info) == 0 && info.st_size == end)
        (void)ftruncate(file, end - written);
    return false;
}

bool to_local_time(std::int64_t seconds, LocalTime& out) {
    if constexpr (sizeof(std::time_t) < sizeof(std::int64_t)) {
        if (seconds < std::numeric_limits<std::time_t>::min() ||
            seconds > std::numeric_limits<std::time_t>::max()) {
            return false;
        }
    }
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) {
        return false;
    }
    out = local_time_of(local);
    return true;
}

namespace {

// The rules of the system's default zone, read at the first conversion that
// needs them; nullptr when the C library converts.
const ZoneRules* system_zone_rules() {
    static const std::optional<ZoneRules> rules = [] {
        std::string bytes;
        if (!read_file_contents("/etc/localtime", bytes))
            return std::optional<ZoneRules>();
        return ZoneRules::parse(bytes);
    }();
    return rules ? &*rules : nullptr;
}

} // namespace

// Without TZ the C library reads /etc/localtime; with it, its own rules
// (names, POSIX texts, TZDIR) hold and it converts every time itself.
LocalZone::LocalZone() : m_systemZone(std::getenv("TZ") == nullptr) {}

bool LocalZone::convert(std::int64_t seconds, LocalTime& out) const {
    if (m_systemZone) {
        if (const ZoneRules* rules = system_zone_rules()) {
            if (const auto offset = rules->utc_offset(seconds))
                return civil_time(seconds, *offset, out);
        }
    }
    return to_local_time(seconds, out);
}

void current_time(std::int64_t& seconds, std::int32_t& microseconds) {
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) {
        seconds = 0;
        microseconds = 0;
        return;
    }
    seconds = static_cast<std::int64_t>(now.tv_sec);
    microseconds = static_cast<std::int32_t>(now.tv_nsec / 1000);
}

} // namespace platform
