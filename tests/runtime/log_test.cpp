// vvLog in temporary folders: levels, the message limit, line layout,
// banners and header lines, the marker files, size switches, ids, threads,
// prompt destruction and the current log.
#include "runtime/log.h"

#include "platform/process.h"

#include "support/file_text.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

// vvLogPathTest reaches into a log for what a test cannot wait for: 10000
// opens, and an open requested at a chosen moment.
class vvLogPathTest {
  public:
    static void set_open_counter(vvLog& log, unsigned counter) { log.set_open_counter(counter); }
    static bool request_reopen(vvLog& log) { return log.post(vvLog::Message::reopen); }
};

namespace {

// split_lines cuts a file's text at each "\r\n" (a last piece without one is
// kept, so that a torn line shows).
std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// The time and id that open every line: "yy/mm/dd hh:mm:ss.mmm [xxxxxxxx] ".
const std::regex line_head(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d\.\d\d\d \[([0-9a-f]{8})\] )");
constexpr std::size_t line_head_length = 33;

// message_of returns a line without its time and id ("" when it has none).
std::string message_of(const std::string& line) {
    std::smatch match;
    if (!std::regex_search(line, match, line_head, std::regex_constants::match_continuous)) {
        return "<no head: " + line + ">";
    }
    return line.substr(line_head_length);
}

std::string id_of(const std::string& line) {
    std::smatch match;
    return std::regex_search(line, match, line_head) ? match[1].str() : std::string();
}

std::string four_digits(int value) {
    std::string text = std::to_string(value);
    return std::string(text.size() < 4 ? 4 - text.size() : 0, '0') + text;
}

std::string hex8(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

struct LogOptions {
    unsigned sizeLimit = 0;
    int threshold = lvINFO;
    bool noBanners = true;
    bool processId = false;
    bool offByDefault = false;
    vvLogTags tags{};
    vvLogWriting writing = vvLogWriting::writer_thread;
};

std::unique_ptr<vvLog> make_log(const std::string& pathTemplate, const LogOptions& o = {}) {
    return std::make_unique<vvLog>(pathTemplate, o.sizeLimit, o.threshold, o.tags, o.noBanners,
                                   o.processId, o.offByDefault, "\r\n", vvLogOrigin::program,
                                   o.writing);
}

template <typename Predicate> bool eventually(Predicate predicate) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

const std::string open_banner = "======================== << Log  Open >> ========================";
const std::string close_banner =
    "======================== << Log Close >> ========================";

TEST(Log, LevelsAndTags) {
    TempCwd cwd;
    LogOptions options;
    options.tags = {"<0>", "<1>", "<2>", "<3>", "<4>", "<5>", "<6>", "<7>"};
    auto log = make_log("levels.log", options);
    ASSERT_TRUE(log->is_open());
    EXPECT_EQ(log->current_path(), cwd.path("levels.log"));
    const struct {
        int level;
        bool result;
    } cases[] = {{7, true}, {8, false}, {-1, false}, {6, true}, {0, true}, {3, true}};
    for (const auto& c : cases) {
        EXPECT_EQ(log->write(c.level, false, "head:", "level %d", c.level), c.result) << c.level;
    }
    EXPECT_FALSE(log->write(lvINFO, false, "", nullptr));
    log.reset();
    std::vector<std::string> messages;
    for (const std::string& line : split_lines(read_all(cwd.path("levels.log")))) {
        messages.push_back(message_of(line));
    }
    const std::vector<std::string> expected{"<6>head:level 6", "<0>head:level 0",
                                            "<3>head:level 3"};
    EXPECT_EQ(messages, expected);
}

TEST(Log, MessageLimitIs8000Bytes) {
    TempCwd cwd;
    auto log = make_log("limit.log");
    const std::string fits(8000, 'x');
    const std::string tooLong(8001, 'y');
    EXPECT_TRUE(log->info("%s", fits.c_str()));
    EXPECT_FALSE(log->info("%s", tooLong.c_str()));
    EXPECT_FALSE(log->info("%s", ""));
    log.reset();
    const auto lines = split_lines(read_all(cwd.path("limit.log")));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(message_of(lines[0]), fits);
}

TEST(Log, BannersAndHeaderLines) {
    TempCwd cwd;
    const std::string pid = std::to_string(platform::current_process_id());
    const std::string headerId = "(0x" + hex8(platform::current_process_id()) + ")";
    const struct {
        int threshold;
        bool noBanners;
        std::vector<std::string> expected; // "@" stands for the construction stamp
    } cases[] = {
        {lvDEBUG,
         false,
         {open_banner, "vvLog: Windows [C++] (Nov04)", "vvLog: " + cwd.path("b.log"),
          "vvLog: ProcID = " + pid + " " + headerId + " @", "hello", close_banner}},
        {lvINFO, false, {open_banner, "hello", close_banner}},
        {lvDEBUG, true, {"hello"}},
    };
    for (const auto& c : cases) {
        fs::remove(cwd.path("b.log"));
        LogOptions options;
        options.threshold = c.threshold;
        options.noBanners = c.noBanners;
        auto log = make_log("b.log", options);
        EXPECT_TRUE(log->info("hello"));
        log.reset();
        const std::string text = read_all(cwd.path("b.log"));
        ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
        const auto lines = split_lines(text);
        ASSERT_EQ(lines.size(), c.expected.size()) << text;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string& want = c.expected[i];
            if (want.find("=====") == 0) {
                EXPECT_EQ(lines[i], want);
            } else if (want.back() == '@') {
                const std::string got = message_of(lines[i]);
                EXPECT_EQ(got.substr(0, want.size()), want);
                EXPECT_TRUE(std::regex_match(got.substr(want.size()), std::regex(R"(\d{17})")))
                    << got;
            } else {
                EXPECT_EQ(message_of(lines[i]), want);
            }
        }
    }
}

TEST(Log, MarkerFilesSwitchTheLog) {
    const struct {
        bool noLog;
        bool path;
        bool offByDefault;
        bool on;
    } cases[] = {
        {false, false, false, true}, {false, false, true, false}, {false, true, true, true},
        {false, true, false, true},  {true, false, false, false}, {true, true, true, false},
        {true, true, false, false},
    };
    for (const auto& c : cases) {
        TempCwd cwd;
        if (c.noLog) {
            write_all(cwd.path("vv.nolog"), "");
        }
        if (c.path) {
            write_all(cwd.path("vv.path"), "");
        }
        LogOptions options;
        options.offByDefault = c.offByDefault;
        auto log = make_log("m.log", options);
        const std::string label =
            std::to_string(c.noLog) + std::to_string(c.path) + std::to_string(c.offByDefault);
        EXPECT_EQ(log->is_disabled(), !c.on) << label;
        EXPECT_EQ(log->is_open(), c.on) << label;
        EXPECT_EQ(log->info("x"), c.on) << label;
        log.reset();
        EXPECT_EQ(fs::exists(cwd.path("m.log")), c.on) << label;
    }
    TempCwd cwd;
    auto log = make_log("");
    EXPECT_TRUE(log->is_disabled());
    EXPECT_FALSE(log->info("x"));
}

TEST(Log, MarkerPathsAreSettledAtConstruction) {
    TempCwd cwd;
    fs::create_directories(cwd.path("elsewhere"));
    write_all(cwd.path("elsewhere/vv.nolog"), "");
    auto log = make_log("here.log");
    // Moving away afterwards changes nothing: the log is on and stays so.
    fs::current_path(cwd.path("elsewhere"));
    EXPECT_TRUE(log->info("x"));
    log.reset();
    EXPECT_EQ(split_lines(read_all(cwd.path("here.log"))).size(), 1u);
}

TEST(Log, PathMarkerLowersTheThreshold) {
    TempCwd cwd;
    write_all(cwd.path("vv.path"), "\nNOTICE\n");
    auto log = make_log("t.log");
    EXPECT_EQ(log->threshold(), lvNOTICE);
    EXPECT_TRUE(log->info("dropped"));
    EXPECT_TRUE(log->write(lvNOTICE, false, "", "kept"));
    log.reset();
    const auto lines = split_lines(read_all(cwd.path("t.log")));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(message_of(lines[0]), "kept");
}

// message_for returns a message that makes a line of `lineLength` bytes.
std::string message_for(std::size_t lineLength) {
    return std::string(lineLength - line_head_length - 2, 'm');
}

TEST(Log, SizeLimitFiveActsAsTen) {
    TempCwd cwd;
    LogOptions options;
    options.sizeLimit = 5;
    auto log = make_log("s%N.log", options);
    const std::string full = message_for(1000);
    for (int i = 0; i < 9; ++i) {
        EXPECT_TRUE(log->info("%s", full.c_str()));
    }
    // 9999 bytes stay below the 10000 of the limit.
    EXPECT_TRUE(log->info("%s", message_for(999).c_str()));
    EXPECT_TRUE(log->info("%s", message_for(36).c_str()));
    log.reset();
    EXPECT_EQ(fs::file_size(cwd.path("s0000.log")), 9999u);
    EXPECT_EQ(fs::file_size(cwd.path("s0001.log")), 36u);
}

TEST(Log, SizeSwitchCountsTheCloseBanner) {
    TempCwd cwd;
    LogOptions options;
    options.sizeLimit = 10;
    options.noBanners = false;
    auto log = make_log("c%N.log", options);
    const std::string full = message_for(1000);
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(log->info("%s", full.c_str()));
    }
    log.reset();
    // Open banner and 9 lines: a tenth line and the close banner would reach 10000.
    const std::string first = read_all(cwd.path("c0000.log"));
    EXPECT_EQ(first.size(), 67u + 9000u + 67u);
    EXPECT_EQ(first.substr(first.size() - 67), close_banner + "\r\n");
    EXPECT_EQ(split_lines(read_all(cwd.path("c0001.log"))).size(), 3u);
}

TEST(Log, SizeSwitchUnderTheSameNameKeepsABackup) {
    TempCwd cwd;
    write_all(cwd.path("r.log"), "left by an earlier process\r\n");
    LogOptions options;
    options.sizeLimit = 10;
    auto log = make_log("r.log", options);
    const std::string full = message_for(1000);
    for (int i = 0; i < 11; ++i) {
        EXPECT_TRUE(log->info("%s", full.c_str()));
    }
    log.reset();
    EXPECT_EQ(read_all(cwd.path("r.log.0000")), "left by an earlier process\r\n");
    EXPECT_EQ(fs::file_size(cwd.path("r.log.0001")), 9000u);
    EXPECT_EQ(fs::file_size(cwd.path("r.log")), 2000u);
    EXPECT_FALSE(fs::exists(cwd.path("r.log.0002")));
}

TEST(Log, OpenCounterWrapsAfter9999) {
    TempCwd cwd;
    auto log = make_log("n%N.log");
    EXPECT_EQ(log->current_path(), cwd.path("n0000.log"));
    vvLogPathTest::set_open_counter(*log, 9999);
    ASSERT_TRUE(vvLogPathTest::request_reopen(*log));
    EXPECT_TRUE(eventually([&] { return log->current_path() == cwd.path("n9999.log"); }));
    ASSERT_TRUE(vvLogPathTest::request_reopen(*log));
    EXPECT_TRUE(eventually([&] { return log->current_path() == cwd.path("n0000.log"); }));
}

TEST(Log, BracketShowsThreadOrProcessId) {
    TempCwd cwd;
    for (const bool processId : {false, true}) {
        LogOptions options;
        options.processId = processId;
        auto log = make_log("id.log", options);
        std::uint32_t writerId = 0;
        // On a second thread, whose id differs from the process id.
        std::thread([&] {
            writerId = platform::current_thread_id();
            log->info("from a thread");
        }).join();
        log.reset();
        const auto lines = split_lines(read_all(cwd.path("id.log")));
        ASSERT_EQ(lines.size(), 1u);
        ASSERT_NE(writerId, platform::current_process_id());
        EXPECT_EQ(id_of(lines[0]), hex8(processId ? platform::current_process_id() : writerId));
        fs::remove(cwd.path("id.log"));
    }
}

TEST(Log, LinesOfTwoThreadsKeepTheirOrder) {
    TempCwd cwd;
    // The size limit makes the writer switch files while lines keep coming.
    LogOptions options;
    options.sizeLimit = 10;
    auto log = make_log("two%N.log", options);
    constexpr int count = 2000;
    auto writer = [&](char name) {
        for (int i = 0; i < count; ++i) {
            EXPECT_TRUE(log->info("%c %d", name, i));
        }
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    EXPECT_TRUE(log->stop(30000)); // every queued line is written
    log.reset();
    int next[2] = {0, 0};
    int files = 0;
    for (;; ++files) {
        const std::string name = cwd.path("two" + four_digits(files) + ".log");
        if (!fs::exists(name)) {
            break;
        }
        EXPECT_LT(fs::file_size(name), 10000u);
        for (const std::string& line : split_lines(read_all(name))) {
            const std::string message = message_of(line);
            const int who = message[0] == 'a' ? 0 : 1;
            EXPECT_EQ(message.substr(2), std::to_string(next[who])) << line;
            ++next[who];
        }
    }
    EXPECT_GT(files, 10);
    EXPECT_EQ(next[0], count);
    EXPECT_EQ(next[1], count);
}

TEST(Log, LinesTakenOnlyFromOneThreadEndTheFile) {
    // The time-out's thread writes its last line while the request's thread
    // is still tracing: nothing of the other thread may follow it.
    TempCwd cwd;
    auto log = make_log("last.log", LogOptions{});
    std::atomic<int> written{0};
    std::thread other([&] {
        while (log->info("other %d", written.load())) {
            ++written;
        }
    });
    while (written < 100) {
        std::this_thread::yield();
    }
    log->take_lines_only_from_this_thread();
    EXPECT_TRUE(log->info("last"));
    other.join(); // its first refused line ends it
    EXPECT_TRUE(log->stop(30000));
    log.reset();
    const auto lines = split_lines(read_all(cwd.path("last.log")));
    ASSERT_GE(lines.size(), 101u);
    EXPECT_EQ(message_of(lines.back()), "last");
    EXPECT_EQ(message_of(lines[lines.size() - 2]), "other " + std::to_string(written - 1));
}

TEST(Log, LogsOfOneFileAppendWholeLines) {
    TempCwd cwd;
    // Twenty logs (one file descriptor each) append to one file at once,
    // half of them written by their callers.
    std::vector<std::thread> writers;
    for (int w = 0; w < 20; ++w) {
        writers.emplace_back([w] {
            LogOptions options;
            options.writing =
                w % 2 == 0 ? vvLogWriting::writer_thread : vvLogWriting::calling_thread;
            auto log = make_log("shared.log", options);
            for (int i = 0; i < 50; ++i) {
                EXPECT_TRUE(
                    log->info("writer %02d line %02d %s", w, i, std::string(200, 'z').c_str()));
            }
            // Every queued line is written: destruction alone gives the
            // writer only a moment, which a slow machine may exceed.
            EXPECT_TRUE(log->stop(30000));
        });
    }
    for (std::thread& t : writers) {
        t.join();
    }
    const auto lines = split_lines(read_all(cwd.path("shared.log")));
    EXPECT_EQ(lines.size(), 1000u);
    const std::regex whole(R"(writer \d\d line \d\d z{200})");
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(message_of(line), whole)) << line;
    }
}

#ifndef _WIN32
// thread_count is the number of threads of this process.
std::size_t thread_count() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task : fs::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

TEST(Log, CallingThreadWritesWithoutAThreadOfItsOwn) {
    TempCwd cwd;
    if (!fs::exists("/proc/self/task") || std::system("mkfifo piped.log") != 0) {
        GTEST_SKIP() << "no thread list or no named pipes here";
    }
    LogOptions options;
    options.writing = vvLogWriting::calling_thread;
    options.processId = true;
    const std::size_t threads = thread_count();
    {
        auto log = make_log("record.log", options);
        EXPECT_TRUE(log->info("CODE=%03u", 200u));
        EXPECT_EQ(thread_count(), threads);
    }
    const auto lines = split_lines(read_all(cwd.path("record.log")));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(message_of(lines[0]), "CODE=200");
    EXPECT_EQ(id_of(lines[0]), hex8(platform::current_process_id()));

    // A named pipe without a reader would hold the open: the line is not
    // written, and nothing waits for a reader.
    {
        auto log = make_log("piped.log", options);
        EXPECT_FALSE(log->info("no reader"));
        EXPECT_EQ(thread_count(), threads);
    }
    // With a reader, whose writes may wait, the writer thread takes it; the
    // reader sees no end of input before the line.
    const int reader = open(cwd.path("piped.log").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    {
        auto log = make_log("piped.log", options);
        EXPECT_TRUE(log->info("through the pipe"));
    }
    char text[256];
    const ssize_t got = read(reader, text, sizeof text);
    close(reader);
    const auto piped = split_lines(std::string(text, got > 0 ? static_cast<std::size_t>(got) : 0));
    ASSERT_EQ(piped.size(), 1u);
    EXPECT_EQ(message_of(piped[0]), "through the pipe");
}
#endif

TEST(Log, DestructionIsPromptAndWritesTheQueue) {
    TempCwd cwd;
    double fastest = 1e9;
    for (int round = 0; round < 3; ++round) {
        auto log = make_log("d.log");
        // Let the writer fall idle first: a polling writer would now sleep.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (int i = 0; i < 100; ++i) {
            log->info("round %d line %d", round, i);
        }
        const auto start = std::chrono::steady_clock::now();
        log.reset();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        fastest = std::min(fastest, took.count());
        const auto lines = split_lines(read_all(cwd.path("d.log")));
        ASSERT_EQ(lines.size(), 100u * (round + 1));
        EXPECT_EQ(message_of(lines.back()), "round " + std::to_string(round) + " line 99");
    }
    // The destructor gives the writer 200 ms to end. A writer that is woken
    // by the stop ends long before; one that sleeps or polls runs into that
    // wait in every round. Only the bound itself is checked, not a speed.
    EXPECT_LT(fastest, 200.0);
}

TEST(Log, CloseFileEndsWriting) {
    TempCwd cwd;
    LogOptions options;
    options.noBanners = false;
    auto log = make_log("close.log", options);
    EXPECT_TRUE(log->info("before"));
    log->close_file();
    EXPECT_TRUE(eventually([&] { return !log->is_open(); }));
    EXPECT_FALSE(log->info("after"));
    EXPECT_TRUE(log->stop(200));
    const auto lines = split_lines(read_all(cwd.path("close.log")));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(message_of(lines[1]), "before");
    EXPECT_EQ(lines[2], close_banner);
}

TEST(Log, WriteErrorDisablesTheLog) {
    TempCwd cwd;
    if (platform::path_separator() != '/') {
        GTEST_SKIP() << "Windows has no full device";
    }
    auto log = make_log("/dev/full");
    if (!log->is_open()) {
        GTEST_SKIP() << "/dev/full cannot be opened here";
    }
    EXPECT_TRUE(log->info("lost"));
    EXPECT_TRUE(eventually([&] { return log->is_disabled() && !log->is_open(); }));
    EXPECT_FALSE(log->info("later"));
}

TEST(Log, StalledWriterLosesLinesAndSaysSo) {
    TempCwd cwd;
    if (platform::path_separator() != '/' || std::system("mkfifo stalled.log") != 0) {
        GTEST_SKIP() << "no named pipes here";
    }
    // The reader opens the pipe but reads only once the log has given up:
    // the writer's write blocks, the queue fills, and a thread that waits
    // for room longer than the bound gives up too.
    std::atomic<bool> drain{false};
    std::string read;
    std::thread reader([&] {
        std::ifstream in(cwd.path("stalled.log"), std::ios::binary);
        while (!drain) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::stringstream text;
        text << in.rdbuf();
        read = text.str();
    });
    LogOptions options;
    options.noBanners = false;
    auto log = make_log("stalled.log", options);
    const std::string filler(1000, 'f');
    int taken = 0;
    // A bounded queue refuses a line long before 20 MB are queued.
    while (taken < 20000 && log->info("line %06d %s", taken, filler.c_str())) {
        ++taken;
    }
    EXPECT_LT(taken, 20000);
    EXPECT_TRUE(log->is_disabled());
    EXPECT_FALSE(log->info("after"));
    drain = true;
    log.reset();
    reader.join();
    const auto lines = split_lines(read);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.back(), close_banner);
    // What is written is whole and in order, and the count of what is not
    // comes last: the file does not look whole.
    int next = 0;
    for (std::size_t i = 1; i + 2 < lines.size(); ++i) {
        const std::string message = message_of(lines[i]);
        char expected[32];
        std::snprintf(expected, sizeof expected, "line %06d ", next);
        EXPECT_EQ(message.substr(0, 12), expected);
        ++next;
    }
    const std::string lost = message_of(lines[lines.size() - 2]);
    EXPECT_EQ(lost, "vvLog: " + std::to_string(taken + 1 - next) + " lines lost");
}

TEST(Log, OpenFailureLeavesNoFile) {
    TempCwd cwd;
    write_all(cwd.path("blocker"), "");
    auto log = make_log("blocker\\x.log");
    EXPECT_FALSE(log->is_open());
    EXPECT_FALSE(log->info("x"));
    EXPECT_TRUE(log->current_path().empty());
}

bool trace_print(std::string_view head, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const bool written = vv_trace_vprint(head, format, args);
    va_end(args);
    return written;
}

TEST(Log, CurrentLogAndTracePrint) {
    TempCwd cwd;
    auto log = make_log("trace.log");
    EXPECT_EQ(vv_current_log(), nullptr);
    EXPECT_FALSE(vv_trace_on());
    EXPECT_FALSE(trace_print("h: ", "nothing %d", 1));

    EXPECT_EQ(vv_exchange_current_log(log.get()), nullptr);
    EXPECT_EQ(vv_current_log(), log.get());
    EXPECT_TRUE(vv_trace_on());
    EXPECT_TRUE(trace_print("main: ", "value %d", 42));
    // A value over the limit is cut (never inside a double-byte character)
    // and marked; control bytes cannot start a line of their own.
    const std::string tooLong = "x" + std::string(9000, '\x82') + "x";
    EXPECT_TRUE(trace_print("", "%s", tooLong.c_str()));
    EXPECT_TRUE(trace_print("main: ", "name = %s", "a\r\n01/01/01 forged\x7f"));
    // A rejected line closes the file: the trace is off from then on.
    EXPECT_FALSE(trace_print("main: ", "%s", ""));
    EXPECT_TRUE(eventually([] { return !vv_trace_on(); }));
    EXPECT_FALSE(trace_print("main: ", "after"));
    EXPECT_EQ(vv_exchange_current_log(nullptr), log.get());

    log.reset();
    const auto lines = split_lines(read_all(cwd.path("trace.log")));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(message_of(lines[0]), "main: value 42");
    EXPECT_EQ(message_of(lines[1]), "x" + std::string(7990, '\x82') + "...[cut]");
    EXPECT_EQ(message_of(lines[2]), "main: name = a__01/01/01 forged_");
}

TEST(LogStamp, SeventeenDigitsOfTheTime) {
    struct Row {
        vvLogTime time;
        const char* stamp;
    };
    const Row table[] = {
        {{2026, 12, 8, 14, 5, 9, 7}, "20261208140509007"},
        {{1999, 1, 31, 23, 59, 59, 999}, "19990131235959999"},
        {{12345, 6, 7, 8, 9, 10, 11}, "23450607080910011"}, // the year modulo 10000
        {{0, 0, 0, 0, 0, 0, 0}, "00000000000000000"},       // a clock that could not be read
        {{-5, 1, 1, 0, 0, 0, 0}, "-0050101000000000"},      // as printf writes a negative year
    };
    for (const Row& row : table)
        EXPECT_EQ(vv_log_stamp(row.time), row.stamp);
}

TEST(LogPath, LevelNames) {
    const struct {
        const char* text;
        int level;
    } cases[] = {
        {"EMERGENCY", 0}, {"emerg", 0},  {"ALERT", 1},     {"lvAlert", 1}, {"CRITICAL", 2},
        {"crit", 2},      {"lvCRIT", 2}, {"Error", 3},     {"ERR", 3},     {"lverr", 3},
        {"WARNING", 4},   {"WARN", 4},   {"lvWARNING", 4}, {"NOTICE", 5},  {"lvNOTICE", 5},
        {"info", 6},      {"lvINFO", 6}, {"DEBUG", 7},     {"lvDEBUG", 7}, {"lvEMERG", -1},
        {"7", 7},         {"07", 7},     {"0x7", -1},      {"", -1},       {" 6", -1},
        {"INFO ", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vv_level_from_text(c.text), c.level) << c.text;
    }
}

} // namespace
