// vvLog: lines are formatted on the calling thread and handed to the log's
// writer thread, which owns the file; the process-wide current log that the
// trace writes to.
#include "runtime/log.h"

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/text.h"
#include "runtime/log_path.h"
#include "runtime/number.h"
#include "runtime/trace.h"

#include <cstdio>
#include <set>
#include <thread>
#include <utility>

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
// A trace value cut to fit the limit ends in this mark.
constexpr std::string_view cut_mark = "...[cut]";
// The writer is woken by every post and stop; the idle sleep is only a bound.
constexpr unsigned idle_sleep_ms = 50;
// How long construction waits for the writer thread's first open.
constexpr unsigned first_open_wait_ms = 600;
// The queue holds at most this many bytes of lines (each line counted with
// some room for its bookkeeping): a thread that writes faster than the disk
// takes waits for room, so a log's memory stays bounded however many lines
// a request writes.
constexpr std::size_t queue_byte_limit = std::size_t{1} << 20;
constexpr std::size_t queued_line_overhead = 64;
// A thread waiting for room gives up (and the log stops taking lines) when
// the writer has written nothing for this long: a stuck disk must not hold
// the request, nor its watchdog, for ever.
constexpr unsigned room_wait_ms = 2000;
// A stop waits for the writer as long as it keeps writing, and gives up when
// it has written nothing for this long (an open or a write that blocks), or
// after the overall bound.
constexpr unsigned stall_wait_ms = 3000;
constexpr unsigned drain_limit_ms = 10000;

constinit std::atomic<vvLog*> g_currentLog{nullptr};
constinit std::atomic<bool> g_folderLogs{false};

unsigned effective_size_limit(unsigned limit) {
    return (limit >= 1 && limit <= 9) ? 10 : limit;
}

bool marker_exists(const std::string& path) {
    return !path.empty() && platform::path_kind(path) != platform::PathKind::missing;
}

// marker_readable: vv.path is read as the settings files are, so only a
// regular file of bounded size counts (a named pipe or a device in the
// folder switches nothing on and holds nothing up).
bool marker_readable(const std::string& path) {
    std::string text;
    return !path.empty() && platform::read_file_contents(path, text);
}

// clean_controls makes a formatted message one line: control bytes become
// "_", as in the access log's values (the bytes of a double-byte character
// are never control bytes).
void clean_controls(std::string& message) {
    for (char& c : message) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = '_';
        }
    }
}

// cut_to_limit shortens an over-long message to the line limit at a
// character boundary and marks the cut.
void cut_to_limit(std::string& message) {
    const std::size_t room = line_limit - cut_mark.size();
    std::size_t end = 0;
    while (end < message.size()) {
        const std::size_t next = end + platform::char_length(message, end);
        if (next > room) {
            break;
        }
        end = next;
    }
    message.resize(end);
    message += cut_mark;
}

// report_open_failure says once per process and file, on standard error
// (which web servers put into their error log), that a log file cannot be
// opened and why.
void report_open_failure(const std::string& path, const std::string& reason) {
    static std::mutex lock;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> hold(lock);
    // A bound on the names kept: a template with the time in it names a new
    // file every second.
    if (reported.size() >= 64 || !reported.insert(path).second) {
        return;
    }
    std::fprintf(stderr, "Dirvane: cannot open the log file \"%s\": %s\n", path.c_str(),
                 reason.c_str());
    std::fflush(stderr);
}

} // namespace

struct vvLog::Writer {
    Writer(std::string_view pathTemplate, unsigned sizeLimit, int threshold, const vvLogTags& tags,
           bool noBanners, bool processId, std::string_view terminator, vvLogOrigin origin)
        : pathTemplate(pathTemplate), tags(tags), terminator(terminator), noBanners(noBanners),
          processId(processId), origin(origin), threshold(threshold),
          sizeLimit(effective_size_limit(sizeLimit)) {}

    // run is the writer thread's loop: the first open, then the queue until
    // a stop or a quit request, then the close.
    void run();
    // next_message takes the next message, with `idle` waiting up to the
    // idle sleep for one; false when there is none (or a stop is requested).
    bool next_message(Message& message, bool idle);
    void request_stop();
    bool on_writer() const;
    // first_open_pending: the writer thread has not yet tried its first
    // open (and has not ended).
    bool first_open_pending();
    // open_file expands the template and opens the file under the new name
    // (writer thread only).
    bool open_file();
    // close_current closes the open file, with the close banner unless
    // no-banners.
    void close_current();
    // write_bytes writes one line to the file, opening a new file first when
    // the line would bring it to the size limit (unless `noRotate`).
    bool write_bytes(std::string_view bytes, bool noRotate);
    // write_direct formats and writes a line on the writer thread itself.
    bool write_direct(int level, bool noRotate, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    std::string format_line(int level, std::string_view head, std::string_view message) const;

    const std::string pathTemplate;
    const vvLogTags tags;
    const std::string terminator;
    const bool noBanners;
    const bool processId;
    const vvLogOrigin origin;
    std::string stamp;      // construction time, YYYYMMDDhhmmssmmm
    std::string noLogPath;  // absolute path of "vv.nolog"
    std::string markerPath; // absolute path of "vv.path"

    // Changed by the opens on the writer thread; vv.path may override them.
    std::atomic<int> threshold;
    std::atomic<unsigned> sizeLimit;
    std::atomic<unsigned> openCounter{0};
    std::string numberedDirectory;

    std::atomic<bool> disabled{false};
    std::atomic<int> file{-1};
    std::atomic<int> openGuard{0};
    // The last open was refused: its location from the folder led out.
    std::atomic<bool> refusedInside{false};
    std::atomic<std::uint32_t> threadId{0};
    // Held while bytes are written and rotation is decided; rotation reopens
    // the file and writes header lines while holding it. Only the writer
    // thread takes it while the log runs.
    std::recursive_mutex writeLock;
    // Held while a new file's path is published.
    mutable std::mutex pathLock;
    std::string currentPath;

    // Guards the fields below; queueSignal announces each of their changes
    // to the writer and to stops, roomSignal the room a taken line leaves.
    std::mutex queueLock;
    std::condition_variable queueSignal;
    std::condition_variable roomSignal;
    std::deque<Message> queue;
    std::size_t queuedBytes = 0;  // lines in the queue, with their overhead
    std::uint64_t taken = 0;      // messages the writer has taken (its progress)
    unsigned lostLines = 0;       // lines given to the log and never written
    bool entered = false;         // the writer thread holds its share
    bool firstOpenDone = false;   // the writer thread has tried its first open
    bool writerEnded = false;     // posts are refused
    bool quitPosted = false;      // the queue takes nothing after the quit
    bool stopRequested = false;   // the loop ends without the rest of the queue
    std::uint32_t onlyThread = 0; // when set, lines of other threads are refused
    unsigned opensTried = 0;      // opens the writer has finished (either way)

    // The calling thread writes the file (vvLogWriting::calling_thread):
    // opens never wait, and one that finds no regular file keeps it open
    // in `special` for the writer thread to take over.
    bool direct = false;
    platform::FileHandle special = platform::no_file;
};

vvLog::vvLog(std::string_view pathTemplate, unsigned sizeLimit, int threshold,
             const vvLogTags& tags, bool noBanners, bool processId, bool offByDefault,
             std::string_view terminator, vvLogOrigin origin, vvLogWriting writing)
    : vvThread("vvLog", false),
      m_w(std::make_shared<Writer>(pathTemplate, sizeLimit, threshold, tags, noBanners, processId,
                                   terminator, origin)) {
    Writer& w = *m_w;
    bool on = false;
    // A log without a file name never opens one: it needs no stamp and no
    // markers.
    if (!w.pathTemplate.empty()) {
        w.stamp = vv_log_stamp(vv_local_time_now());
        // Both markers lie in the working directory, read once.
        w.noLogPath = platform::absolute_path("vv.nolog");
        constexpr std::string_view noLogName = "vv.nolog";
        if (w.noLogPath.size() >= noLogName.size()) {
            w.markerPath = w.noLogPath.substr(0, w.noLogPath.size() - noLogName.size()) + "vv.path";
        }
    }
    // vv.path only switches on a log that is off by default.
    if (w.pathTemplate.empty() || marker_exists(w.noLogPath)) {
        on = false;
    } else {
        on = !offByDefault || marker_readable(w.markerPath);
    }
    w.disabled = !on;

    // A log that is off never opens a file: it needs no writer thread.
    if (w.disabled) {
        return;
    }
    if (writing == vvLogWriting::calling_thread && w.sizeLimit == 0) {
        w.direct = true;
        w.open_file();
        if (w.special == platform::no_file) {
            w.firstOpenDone = true;
            return;
        }
        // A named pipe with a reader or a device, whose writes may wait:
        // the writer thread opens it again and writes to it. The first open
        // stays open until then, so that a pipe's reader sees no end.
        w.direct = false;
    }
    const platform::FileHandle held = std::exchange(w.special, platform::no_file);
    struct HeldClose {
        platform::FileHandle file;
        ~HeldClose() { platform::close_file(file); }
    } heldClose{held};
    if (!start()) {
        return;
    }
    std::this_thread::yield();
    {
        // An enabled log has normally opened its file when construction ends.
        std::unique_lock<std::mutex> lock(w.queueLock);
        w.queueSignal.wait_for(lock, std::chrono::milliseconds(first_open_wait_ms),
                               [&w] { return w.firstOpenDone; });
    }
    post(Message::start);
}

vvLog::~vvLog() {
    if (m_w->direct) {
        m_w->close_current();
        return;
    }
    if (stop(drain_limit_ms)) {
        // The writer has ended: it closed its file on leaving.
        m_w->close_current();
        return;
    }
    // The writer thread is busy or stuck (an open or a write that blocks).
    // It is told to stop and left to the bounded wait of the thread object's
    // destruction: nothing here waits for a lock it may hold, and it closes
    // its file itself, on the state it co-owns, when it gets free. A thread
    // that has not yet reached its body (a loaded system) is waited for
    // first, while this object can still run it.
    Writer& w = *m_w;
    w.request_stop();
    std::unique_lock<std::mutex> lock(w.queueLock);
    w.queueSignal.wait_for(lock, std::chrono::milliseconds(3000), [&w] { return w.entered; });
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
    return vwrite_line(level, noRotate, head, false, format, args);
}

bool vvLog::vwrite_line(int level, bool noRotate, std::string_view head, bool cutOverlong,
                        const char* format, va_list args) {
    Writer& w = *m_w;
    if (format == nullptr || level < 0 || level > 7) {
        return false;
    }
    if (level > w.threshold) {
        return true;
    }
    // A line written while the first open is still under way (a loaded
    // machine) waits in the queue for it.
    if (w.disabled || (!is_open() && !w.first_open_pending())) {
        return false;
    }
    std::string message(line_limit + 1, '\0');
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(message.data(), message.size(), format, args);
    if (length <= 0 || (static_cast<std::size_t>(length) > line_limit && !cutOverlong)) {
        va_end(again);
        return false;
    }
    if (static_cast<std::size_t>(length) > line_limit) {
        // The whole text, so that the cut falls on a character boundary.
        message.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(message.data(), message.size(), format, again);
        message.resize(static_cast<std::size_t>(length));
        cut_to_limit(message);
    } else {
        message.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    clean_controls(message);
    std::string line = w.format_line(level, head, message);
    if (w.direct) {
        return w.write_bytes(line, noRotate);
    }
    if (!w.on_writer()) {
        return post(Message::line, std::move(line));
    }
    if (line.size() > line_limit) {
        const std::size_t end = std::min(w.terminator.size(), line_limit);
        line.resize(line_limit - end);
        line.append(w.terminator, 0, end);
    }
    return w.write_bytes(line, noRotate);
}

bool vvLog::info(const char* format, ...) {
    if (m_w->disabled) {
        return false;
    }
    va_list args;
    va_start(args, format);
    const bool written = vwrite(lvINFO, false, std::string_view(), format, args);
    va_end(args);
    return written;
}

bool vvLog::stop(unsigned ms) {
    if (m_w->direct) {
        m_w->close_current();
        return true;
    }
    bool reopenPending = m_w->first_open_pending();
    {
        std::lock_guard<std::mutex> lock(m_w->queueLock);
        for (const Message& message : m_w->queue) {
            reopenPending = reopenPending || message.kind == Message::reopen;
        }
    }
    // A log without a file ends at once, unless an open is still to come
    // (the trace allowed once the common settings are read).
    if ((!is_open() && !reopenPending) || m_w->disabled) {
        request_stop();
        return wait(std::min(ms, stall_wait_ms));
    }
    post(Message::quit);
    // The writer is given the time it needs for what is queued (the queue
    // is bounded), as long as it keeps writing and `ms` allows.
    Writer& w = *m_w;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        std::uint64_t before = 0;
        {
            std::lock_guard<std::mutex> lock(w.queueLock);
            before = w.taken;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const unsigned slice =
            left.count() <= 0
                ? 0
                : static_cast<unsigned>(std::min<long long>(left.count(), stall_wait_ms));
        if (wait(slice)) {
            return true;
        }
        std::lock_guard<std::mutex> lock(w.queueLock);
        if (slice == 0 || w.taken == before) {
            return false;
        }
    }
}

void vvLog::take_lines_only_from_this_thread() {
    const std::uint32_t self = platform::current_thread_id();
    std::lock_guard<std::mutex> lock(m_w->queueLock);
    m_w->onlyThread = self;
}

bool vvLog::request_stop() {
    m_w->request_stop();
    return vvThread::request_stop();
}

void vvLog::close_file() {
    if (m_w->direct) {
        m_w->close_current();
        return;
    }
    post(Message::close);
}

bool vvLog::is_open() const {
    return m_w->file.load() >= 0;
}

bool vvLog::is_disabled() const {
    return m_w->disabled;
}

int vvLog::threshold() const {
    return m_w->threshold;
}

std::string vvLog::current_path() const {
    std::lock_guard<std::mutex> lock(m_w->pathLock);
    return m_w->currentPath;
}

void vvLog::set_open_counter(unsigned counter) {
    m_w->openCounter = counter;
}

void vvLog::reopen_if_refused() {
    Writer& w = *m_w;
    if (!w.refusedInside || is_open()) {
        return;
    }
    if (w.direct) {
        // A file that is no regular file is not taken up this late.
        w.open_file();
        platform::close_file(std::exchange(w.special, platform::no_file));
        return;
    }
    unsigned before = 0;
    {
        std::lock_guard<std::mutex> lock(w.queueLock);
        before = w.opensTried;
    }
    if (!post(Message::reopen)) {
        return;
    }
    // The caller goes on only once the log is open (or the open has
    // failed), so that its next lines are written.
    std::unique_lock<std::mutex> lock(w.queueLock);
    w.queueSignal.wait_for(lock, std::chrono::milliseconds(first_open_wait_ms),
                           [&w, before] { return w.opensTried != before || w.writerEnded; });
}

void vvLog::run() {
    // From here on the thread uses only its own share of the state: the
    // object may be gone before the loop ends.
    const std::shared_ptr<Writer> writer = m_w;
    {
        std::lock_guard<std::mutex> lock(writer->queueLock);
        writer->entered = true;
    }
    writer->queueSignal.notify_all();
    writer->run();
}

bool vvLog::post(Message::Kind kind, std::string line) {
    Writer& w = *m_w;
    {
        std::unique_lock<std::mutex> lock(w.queueLock);
        auto refused = [&w, this] {
            return w.writerEnded || w.stopRequested || w.quitPosted || !is_running() ||
                   (w.onlyThread != 0 && w.onlyThread != platform::current_thread_id());
        };
        if (refused()) {
            return false;
        }
        const std::size_t size = kind == Message::line ? line.size() + queued_line_overhead : 0;
        // Wait for room while the writer keeps taking lines; one line is
        // always taken into an empty queue. A full queue is let down to
        // half before the line goes in, so that the two threads do not take
        // turns line by line.
        if (size != 0 && !w.queue.empty() && w.queuedBytes + size > queue_byte_limit) {
            auto roomy = [&w] { return w.queue.empty() || w.queuedBytes <= queue_byte_limit / 2; };
            while (!roomy()) {
                const std::uint64_t before = w.taken;
                w.roomSignal.wait_for(lock, std::chrono::milliseconds(room_wait_ms));
                if (refused()) {
                    return false;
                }
                if (w.taken != before || roomy()) {
                    continue;
                }
                // The writer is stuck: the log takes no more lines.
                ++w.lostLines;
                w.disabled = true;
                return false;
            }
        }
        w.queuedBytes += size;
        if (kind == Message::quit) {
            w.quitPosted = true;
        }
        w.queue.push_back(Message{kind, std::move(line)});
    }
    w.queueSignal.notify_all();
    return true;
}

void vvLog::Writer::run() {
    threadId = platform::current_thread_id();
    if (!disabled) {
        open_file();
    }
    {
        std::lock_guard<std::mutex> lock(queueLock);
        firstOpenDone = true;
    }
    queueSignal.notify_all();

    bool quitSeen = false;
    for (;;) {
        Message message;
        if (!next_message(message, !quitSeen)) {
            std::lock_guard<std::mutex> lock(queueLock);
            if (stopRequested || (quitSeen && queue.empty())) {
                // Posts are refused from here on: no line is lost between
                // the last look at the queue and the end.
                writerEnded = true;
                for (const Message& left : queue) {
                    lostLines += left.kind == Message::line ? 1 : 0;
                }
                queue.clear();
                queuedBytes = 0;
                break;
            }
            continue;
        }
        switch (message.kind) {
        case Message::reopen:
            open_file();
            {
                std::lock_guard<std::mutex> lock(queueLock);
                ++opensTried;
            }
            queueSignal.notify_all();
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

    close_current();
}

bool vvLog::Writer::next_message(Message& message, bool idle) {
    std::unique_lock<std::mutex> lock(queueLock);
    if (idle && queue.empty() && !stopRequested) {
        // Woken by every post and stop; the idle sleep is only a bound.
        queueSignal.wait_for(lock, std::chrono::milliseconds(idle_sleep_ms),
                             [this] { return !queue.empty() || stopRequested; });
    }
    if (stopRequested || queue.empty()) {
        return false;
    }
    message = std::move(queue.front());
    queue.pop_front();
    if (message.kind == Message::line) {
        queuedBytes -= message.text.size() + queued_line_overhead;
    }
    ++taken;
    if (queuedBytes <= queue_byte_limit / 2) {
        roomSignal.notify_all();
    }
    return true;
}

void vvLog::Writer::request_stop() {
    {
        std::lock_guard<std::mutex> lock(queueLock);
        stopRequested = true;
    }
    queueSignal.notify_all();
    roomSignal.notify_all();
}

bool vvLog::Writer::first_open_pending() {
    std::lock_guard<std::mutex> lock(queueLock);
    return !firstOpenDone && !writerEnded;
}

bool vvLog::Writer::on_writer() const {
    const std::uint32_t id = threadId;
    return id != 0 && id == platform::current_thread_id();
}

bool vvLog::Writer::write_direct(int level, bool noRotate, const char* format, ...) {
    if (level > threshold) {
        return true;
    }
    char message[line_limit + 1];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    if (length <= 0 || static_cast<std::size_t>(length) > line_limit) {
        return false;
    }
    std::string text(message, static_cast<std::size_t>(length));
    clean_controls(text);
    std::string line = format_line(level, std::string_view(), text);
    if (line.size() > line_limit) {
        const std::size_t end = std::min(terminator.size(), line_limit);
        line.resize(line_limit - end);
        line.append(terminator, 0, end);
    }
    return write_bytes(line, noRotate);
}

bool vvLog::Writer::open_file() {
    if (openGuard.fetch_add(1) != 0) {
        openGuard.fetch_sub(1);
        return true; // another open is under way
    }
    struct GuardRelease {
        std::atomic<int>& guard;
        ~GuardRelease() { guard.fetch_sub(1); }
    } release{openGuard};
    std::lock_guard<std::recursive_mutex> lock(writeLock);

    const std::uint32_t processId = platform::current_process_id();
    vvLogPathInput input;
    input.pathTemplate = pathTemplate;
    input.openTime = vv_local_time_now();
    input.stamp = stamp;
    input.openCounter = openCounter;
    input.processId = processId;
    input.markerPath = markerPath;
    input.templateFromFolder = origin == vvLogOrigin::folder;
    input.relativeInside = origin == vvLogOrigin::administrator;
    input.folderLogs = vv_folder_logs();
    vvLogPathState state;
    state.numberedDirectory = std::move(numberedDirectory);
    state.threshold = threshold;
    state.sizeLimit = sizeLimit;
    const std::string path = vv_expand_log_path(input, state);
    numberedDirectory = std::move(state.numberedDirectory);
    threshold = state.threshold;
    sizeLimit = state.sizeLimit;
    refusedInside = !state.refusal.empty();
    if (!state.refusal.empty()) {
        vv_trace_plain("vvLog: the folder's log location for \"%s\" %s: no log file "
                       "(folderlogs=1 allows it)",
                       vv_trace_escape(pathTemplate).c_str(), state.refusal.c_str());
    }
    if (path.empty()) {
        if (state.refusal.empty() && !state.failure.empty()) {
            vv_trace_plain("vvLog: \"%s\": %s: no log file",
                           vv_trace_escape(state.failedPath).c_str(), state.failure.c_str());
        }
        // A location refused for leading out of the folder is the folder's
        // matter (the trace says why), and may be allowed once the common
        // settings are read: only a failure is said.
        if (state.refusal.empty()) {
            report_open_failure(state.failedPath, state.failure);
        }
        return false;
    }

    platform::FileHandle opened = platform::no_file;
    std::string reason;
    if (state.inside) {
        // A location inside the listed folder is reached component by
        // component without following a link. It is appended to and never
        // rotated: the numbered backups would be renamed and deleted by name.
        const platform::Outcome<platform::FileHandle> inside =
            platform::open_append_file_inside(state.insidePath);
        opened = inside.value_or(platform::no_file);
        if (!inside) {
            reason = inside.failure().reason;
            vv_trace_plain("vvLog: \"%s\" passes a link or a file that is no plain file: "
                           "no log file",
                           vv_trace_escape(state.insidePath).c_str());
        }
    } else {
        // A log with a size limit starts every file empty: an existing file
        // of the new name becomes a numbered backup (the open file may be
        // that one: it is renamed while open). If it cannot be moved aside it
        // is kept and appended to.
        bool truncate = false;
        if (sizeLimit != 0 && platform::path_kind(path) != platform::PathKind::missing) {
            truncate = !vv_rotate_log_file(path).empty();
        }
        bool specialFile = false;
        const platform::Outcome<platform::FileHandle> plain =
            direct ? platform::open_append_file_at_once(path, specialFile)
                   : platform::open_append_file(path, truncate);
        opened = plain.value_or(platform::no_file);
        if (specialFile) {
            special = opened;
            return false;
        }
        if (!plain) {
            reason = plain.failure().reason;
        }
    }
    if (opened == platform::no_file) {
        report_open_failure(path, reason);
        close_current();
        return false;
    }
    const unsigned counter = openCounter;
    openCounter = counter >= 9999 ? 0 : counter + 1;
    // The new file replaces the old one in one exchange, so that the log
    // never counts as closed while it switches files.
    platform::FileHandle previous;
    {
        std::lock_guard<std::mutex> hold(pathLock);
        previous = file.exchange(opened);
        currentPath = path;
    }
    if (previous != platform::no_file) {
        if (!noBanners) {
            platform::append_record(previous, close_banner);
        }
        platform::close_file(previous);
    }
    if (!noBanners) {
        platform::append_record(opened, open_banner);
        write_direct(lvDEBUG, true, "%s", "vvLog: Windows [C++] (Nov04)");
        write_direct(lvDEBUG, true, "vvLog: %s", path.c_str());
        write_direct(lvDEBUG, true, "vvLog: ProcID = %d (0x%08x) @%s", static_cast<int>(processId),
                     processId, stamp.c_str());
    }
    return true;
}

void vvLog::Writer::close_current() {
    std::lock_guard<std::recursive_mutex> lock(writeLock);
    const platform::FileHandle closing = file.exchange(platform::no_file);
    if (closing == platform::no_file) {
        return;
    }
    if (!noBanners) {
        // A log that lost lines says so before its close banner, so that it
        // does not look whole.
        unsigned lost = 0;
        {
            std::lock_guard<std::mutex> hold(queueLock);
            lost = lostLines;
        }
        if (lost != 0) {
            char text[80];
            const int length = std::snprintf(text, sizeof text, "vvLog: %u lines lost", lost);
            platform::append_record(
                closing, format_line(lvINFO, std::string_view(),
                                     std::string_view(
                                         text, length > 0 ? static_cast<std::size_t>(length) : 0)));
        }
        platform::append_record(closing, close_banner);
    }
    platform::close_file(closing);
}

bool vvLog::Writer::write_bytes(std::string_view bytes, bool noRotate) {
    if (bytes.empty()) {
        return false;
    }
    std::lock_guard<std::recursive_mutex> lock(writeLock);
    platform::FileHandle target = file;
    if (target == platform::no_file) {
        return false;
    }
    const unsigned limit = sizeLimit;
    if (!noRotate && limit != 0) {
        const std::int64_t length = platform::file_length(target);
        const std::uint64_t projected = static_cast<std::uint64_t>(length < 0 ? 0 : length) +
                                        (noBanners ? 0 : banner_length) + bytes.size();
        if (projected / 1000 >= limit) {
            if (!open_file()) {
                disabled = true;
                close_current();
                return false;
            }
            target = file;
            if (target == platform::no_file) {
                return false;
            }
        }
    }
    if (platform::append_record(target, bytes)) {
        return true;
    }
    disabled = true;
    close_current();
    return false;
}

std::string vvLog::Writer::format_line(int level, std::string_view head,
                                       std::string_view message) const {
    const vvLogTime now = vv_local_time_now();
    const std::uint32_t id =
        processId ? platform::current_process_id() : platform::current_thread_id();
    char prefix[64];
    int length = std::snprintf(prefix, sizeof prefix, "%02d/%02d/%02d %02d:%02d:%02d.%03d [%08x] ",
                               now.year % 100, now.month, now.day, now.hour, now.minute, now.second,
                               now.millisecond, id);
    if (length < 0) {
        length = 0;
    }
    const std::string& tag = tags[static_cast<std::size_t>(level)];
    std::string line;
    line.reserve(static_cast<std::size_t>(length) + tag.size() + head.size() + message.size() +
                 terminator.size());
    line.append(prefix, std::min(static_cast<std::size_t>(length), sizeof prefix - 1));
    line += tag;
    line += head;
    line += message;
    line += terminator;
    return line;
}

void vv_set_folder_logs(bool allowed) {
    if (g_folderLogs.exchange(allowed) || !allowed) {
        return;
    }
    if (vvLog* log = g_currentLog.load()) {
        log->reopen_if_refused();
    }
}

bool vv_folder_logs() {
    return g_folderLogs;
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
        // An over-long value is cut rather than lost with the rest of the
        // trace.
        if (log->vwrite_line(lvINFO, false, head, true, format, args)) {
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

// ---- level names and the log stamp ---------------------------------------

vvLogTime vv_local_time_now() {
    std::int64_t seconds = 0;
    std::int32_t microseconds = 0;
    platform::current_time(seconds, microseconds);
    platform::LocalTime local;
    vvLogTime time;
    if (!platform::LocalZone().convert(seconds, local)) {
        return time;
    }
    time.year = static_cast<int>(local.year % 1000000);
    time.month = local.month;
    time.day = local.day;
    time.hour = local.hour;
    time.minute = local.minute;
    time.second = local.second;
    time.millisecond = microseconds / 1000;
    return time;
}

namespace {

// put_digits writes `value` (0 or more) as `width` digits, zero-filled.
char* put_digits(char* out, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

bool fits(int value, int limit) {
    return value >= 0 && value < limit;
}

} // namespace

std::string vv_log_stamp(const vvLogTime& time) {
    // Written by hand: every request makes a stamp, and the printf machinery
    // is a large piece of code that nothing else of a request touches.
    const int year = time.year % 10000;
    if (fits(year, 10000) && fits(time.month, 100) && fits(time.day, 100) && fits(time.hour, 100) &&
        fits(time.minute, 100) && fits(time.second, 100) && fits(time.millisecond, 1000)) {
        char digits[17];
        char* p = put_digits(digits, year, 4);
        p = put_digits(p, time.month, 2);
        p = put_digits(p, time.day, 2);
        p = put_digits(p, time.hour, 2);
        p = put_digits(p, time.minute, 2);
        p = put_digits(p, time.second, 2);
        put_digits(p, time.millisecond, 3);
        return std::string(digits, sizeof digits);
    }
    char text[40];
    const int length =
        std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d%03d", time.year % 10000,
                      time.month, time.day, time.hour, time.minute, time.second, time.millisecond);
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

int vv_level_from_text(std::string_view text) {
    static constexpr NamedNumber names[] = {
        {"EMERGENCY", 0}, {"EMERG", 0},  {"ALERT", 1},     {"lvALERT", 1}, {"CRITICAL", 2},
        {"CRIT", 2},      {"lvCRIT", 2}, {"ERROR", 3},     {"ERR", 3},     {"lvERR", 3},
        {"WARNING", 4},   {"WARN", 4},   {"lvWARNING", 4}, {"NOTICE", 5},  {"lvNOTICE", 5},
        {"INFO", 6},      {"lvINFO", 6}, {"DEBUG", 7},     {"lvDEBUG", 7},
    };
    return parse_digits_or_name(text, names);
}
