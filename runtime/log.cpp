// vvLog: lines are formatted on the calling thread and handed to the log's
// writer thread, which owns the file; the process-wide current log that the
// trace writes to.
#include "runtime/log.h"

#include "platform/file.h"
#include "platform/io.h"
#include "platform/process.h"
#include "runtime/log_path.h"

#include <cstdio>
#include <thread>

namespace {

constexpr std::string_view open_banner =
    "======================== << Log  Open >> ========================\r\n";
constexpr std::string_view close_banner =
    "======================== << Log Close >> ========================\r\n";
// The rotation check reserves room for the close banner.
constexpr std::size_t banner_length = 67;
static_assert(open_banner.size() == banner_length && close_banner.size() == banner_length);

// A message is formatted into at most 8000 bytes; on the writer thread the
// whole line is cut to that size.
constexpr std::size_t line_limit = 8000;
// The writer is woken by every post and stop; the idle sleep is only a bound.
constexpr unsigned idle_sleep_ms = 50;
// How long construction waits for the writer thread's first open.
constexpr unsigned first_open_wait_ms = 600;

constinit std::atomic<vvLog*> g_currentLog{nullptr};

unsigned effective_size_limit(unsigned limit) {
    return (limit >= 1 && limit <= 9) ? 10 : limit;
}

bool marker_exists(const std::string& path) {
    return !path.empty() && platform::path_kind(path) != platform::PathKind::missing;
}

} // namespace

vvLog::vvLog(std::string_view pathTemplate, unsigned sizeLimit, int threshold,
             const vvLogTags& tags, bool noBanners, bool processId, bool offByDefault,
             std::string_view terminator)
    : vvThread("vvLog", false), m_template(pathTemplate), m_tags(tags), m_terminator(terminator),
      m_noBanners(noBanners), m_processId(processId), m_offByDefault(offByDefault),
      m_threshold(threshold), m_sizeLimit(effective_size_limit(sizeLimit)) {
    bool on = false;
    // A log without a file name never opens one: it needs no stamp and no
    // markers.
    if (!m_template.empty()) {
        m_stamp = vv_log_stamp(vv_local_time_now());
        m_noLogPath = platform::absolute_path("vv.nolog");
        m_markerPath = platform::absolute_path("vv.path");
    }
    if (m_template.empty() || marker_exists(m_noLogPath)) {
        on = false;
    } else if (marker_exists(m_markerPath)) {
        on = true;
    } else {
        on = !m_offByDefault;
    }
    m_disabled = !on;

    // A log that is off never opens a file: it needs no writer thread.
    if (m_disabled || !start()) {
        return;
    }
    std::this_thread::yield();
    {
        // An enabled log has normally opened its file when construction ends.
        std::unique_lock<std::mutex> lock(m_queueLock);
        m_queueSignal.wait_for(lock, std::chrono::milliseconds(first_open_wait_ms),
                               [this] { return m_firstOpenDone; });
    }
    post(Message::start);
}

vvLog::~vvLog() {
    if (!stop(200)) {
        // The members must outlive the writer thread.
        request_stop();
        wait(3000);
    }
    close_current();
}

bool vvLog::write(int level, bool noRotate, std::string_view head, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const bool written = vwrite(level, noRotate, head, format, args);
    va_end(args);
    return written;
}

bool vvLog::vwrite(int level, bool noRotate, std::string_view head, const char* format,
                   va_list args) {
    if (format == nullptr || level < 0 || level > 7) {
        return false;
    }
    if (level > m_threshold) {
        return true;
    }
    if (m_disabled || !is_open()) {
        return false;
    }
    std::string message(line_limit + 1, '\0');
    const int length = std::vsnprintf(message.data(), message.size(), format, args);
    if (length <= 0 || static_cast<std::size_t>(length) > line_limit) {
        return false;
    }
    message.resize(static_cast<std::size_t>(length));
    std::string line = format_line(level, head, message);
    if (!on_thread()) {
        return post(Message::line, std::move(line));
    }
    if (line.size() > line_limit) {
        const std::size_t end = std::min(m_terminator.size(), line_limit);
        line.resize(line_limit - end);
        line.append(m_terminator, 0, end);
    }
    return write_bytes(line, noRotate);
}

bool vvLog::info(const char* format, ...) {
    if (m_disabled) {
        return false;
    }
    va_list args;
    va_start(args, format);
    const bool written = vwrite(lvINFO, false, std::string_view(), format, args);
    va_end(args);
    return written;
}

bool vvLog::stop(unsigned ms) {
    if (!is_open() || m_disabled) {
        request_stop();
    } else {
        post(Message::quit);
    }
    return wait(ms);
}

void vvLog::close_file() {
    post(Message::close);
}

bool vvLog::is_open() const {
    return m_file.load() >= 0;
}

std::string vvLog::current_path() const {
    std::lock_guard<std::mutex> lock(m_pathLock);
    return m_currentPath;
}

void vvLog::run() {
    if (!m_disabled) {
        open_file();
    }
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_firstOpenDone = true;
    }
    m_queueSignal.notify_all();

    bool quitSeen = false;
    while (!is_stop_requested()) {
        Message message;
        bool have = false;
        {
            std::lock_guard<std::mutex> lock(m_queueLock);
            if (!m_queue.empty()) {
                message = std::move(m_queue.front());
                m_queue.pop_front();
                have = true;
            }
        }
        if (!have) {
            if (quitSeen) {
                break;
            }
            sleep_for(idle_sleep_ms);
            continue;
        }
        switch (message.kind) {
        case Message::reopen:
            open_file();
            break;
        case Message::close:
            close_current();
            break;
        case Message::line:
            write_bytes(message.text, false);
            break;
        case Message::quit:
            quitSeen = true;
            break;
        case Message::start:
            break;
        }
    }

    // Posts are refused from here on; lines that came in after the queue was
    // seen empty are still written when the loop ended by a quit request.
    std::deque<Message> late;
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_writerEnded = true;
        late.swap(m_queue);
    }
    if (quitSeen && !is_stop_requested()) {
        for (const Message& message : late) {
            if (message.kind == Message::line) {
                write_bytes(message.text, false);
            }
        }
    }
    close_current();
}

bool vvLog::post(Message::Kind kind, std::string line) {
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        if (m_writerEnded || !is_running()) {
            return false;
        }
        m_queue.push_back(Message{kind, std::move(line)});
    }
    wake();
    return true;
}

bool vvLog::open_file() {
    if (m_openGuard.fetch_add(1) != 0) {
        m_openGuard.fetch_sub(1);
        return true; // another open is under way
    }
    struct GuardRelease {
        std::atomic<int>& guard;
        ~GuardRelease() { guard.fetch_sub(1); }
    } release{m_openGuard};
    std::lock_guard<std::recursive_mutex> lock(m_writeLock);

    const std::uint32_t processId = platform::current_process_id();
    vvLogPathInput input;
    input.pathTemplate = m_template;
    input.openTime = vv_local_time_now();
    input.stamp = m_stamp;
    input.openCounter = m_openCounter;
    input.processId = processId;
    input.markerPath = m_markerPath;
    vvLogPathState state;
    state.numberedDirectory = std::move(m_numberedDirectory);
    state.threshold = m_threshold;
    state.sizeLimit = m_sizeLimit;
    const std::string path = vv_expand_log_path(input, state);
    m_numberedDirectory = std::move(state.numberedDirectory);
    m_threshold = state.threshold;
    m_sizeLimit = state.sizeLimit;
    if (path.empty()) {
        return false;
    }

    // A log with a size limit starts every file empty: an existing file of
    // the new name becomes a numbered backup (the open file may be that one:
    // it is renamed while open). If it cannot be moved aside it is kept and
    // appended to.
    bool truncate = false;
    if (m_sizeLimit != 0 && platform::path_kind(path) != platform::PathKind::missing) {
        truncate = !vv_rotate_log_file(path).empty();
    }
    const platform::FileHandle file = platform::open_append_file(path, truncate);
    if (file == platform::no_file) {
        close_current();
        return false;
    }
    const unsigned counter = m_openCounter;
    m_openCounter = counter >= 9999 ? 0 : counter + 1;
    // The new file replaces the old one in one exchange, so that the log
    // never counts as closed while it switches files.
    platform::FileHandle previous;
    {
        std::lock_guard<std::mutex> pathLock(m_pathLock);
        previous = m_file.exchange(file);
        m_currentPath = path;
    }
    if (previous != platform::no_file) {
        if (!m_noBanners) {
            platform::append_record(previous, close_banner);
        }
        platform::close_file(previous);
    }
    if (!m_noBanners) {
        platform::append_record(file, open_banner);
        write(lvDEBUG, true, std::string_view(), "%s", "vvLog: Windows [C++] (Nov04)");
        write(lvDEBUG, true, std::string_view(), "vvLog: %s", path.c_str());
        write(lvDEBUG, true, std::string_view(), "vvLog: ProcID = %d (0x%08x) @%s",
              static_cast<int>(processId), processId, m_stamp.c_str());
    }
    return true;
}

void vvLog::close_current() {
    std::lock_guard<std::recursive_mutex> lock(m_writeLock);
    const platform::FileHandle file = m_file.exchange(platform::no_file);
    if (file == platform::no_file) {
        return;
    }
    if (!m_noBanners) {
        platform::append_record(file, close_banner);
    }
    platform::close_file(file);
}

bool vvLog::write_bytes(std::string_view bytes, bool noRotate) {
    if (bytes.empty()) {
        return false;
    }
    std::lock_guard<std::recursive_mutex> lock(m_writeLock);
    platform::FileHandle file = m_file;
    if (file == platform::no_file) {
        return false;
    }
    const unsigned limit = m_sizeLimit;
    if (!noRotate && limit != 0) {
        const std::int64_t length = platform::file_length(file);
        const std::uint64_t projected = static_cast<std::uint64_t>(length < 0 ? 0 : length) +
                                        (m_noBanners ? 0 : banner_length) + bytes.size();
        if (projected / 1000 >= limit) {
            if (!open_file()) {
                m_disabled = true;
                close_current();
                return false;
            }
            file = m_file;
            if (file == platform::no_file) {
                return false;
            }
        }
    }
    if (platform::append_record(file, bytes)) {
        return true;
    }
    m_disabled = true;
    close_current();
    return false;
}

std::string vvLog::format_line(int level, std::string_view head, std::string_view message) const {
    const vvLogTime now = vv_local_time_now();
    const std::uint32_t id =
        m_processId ? platform::current_process_id() : platform::current_thread_id();
    char prefix[64];
    int length = std::snprintf(prefix, sizeof prefix, "%02d/%02d/%02d %02d:%02d:%02d.%03d [%08x] ",
                               now.year % 100, now.month, now.day, now.hour, now.minute, now.second,
                               now.millisecond, id);
    if (length < 0) {
        length = 0;
    }
    const std::string& tag = m_tags[static_cast<std::size_t>(level)];
    std::string line;
    line.reserve(static_cast<std::size_t>(length) + tag.size() + head.size() + message.size() +
                 m_terminator.size());
    line.append(prefix, std::min(static_cast<std::size_t>(length), sizeof prefix - 1));
    line += tag;
    line += head;
    line += message;
    line += m_terminator;
    return line;
}

vvLog* vv_current_log() {
    return g_currentLog.load();
}

vvLog* vv_exchange_current_log(vvLog* log) {
    return g_currentLog.exchange(log);
}

bool vv_trace_on() {
    const vvLog* log = g_currentLog.load();
    return log != nullptr && log->is_open();
}

bool vv_trace_vprint(std::string_view head, const char* format, va_list args) {
    vvLog* log = g_currentLog.load();
    if (log == nullptr || !log->is_open() || log->is_disabled()) {
        return false;
    }
    try {
        if (log->vwrite(lvINFO, false, head, format, args)) {
            return true;
        }
    } catch (...) {
    }
    // A rejected line closes the file, so that the trace counts as off.
    if (log->is_open() && !log->is_disabled()) {
        log->close_file();
    }
    return false;
}
