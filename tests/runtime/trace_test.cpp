// The function trace: scopes, indents and value dumps, written through a real
// log into a temporary folder.
#include "runtime/log.h"
#include "runtime/trace.h"

#include "support/file_text.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {

// TraceLog makes a log with an open file current for one test and gives back
// the lines it received, without their time and id.
class TraceLog {
  public:
    TraceLog() : m_path(m_cwd.path("trace.log")) {
        m_log = std::make_unique<vvLog>(m_path.string(), 0, lvDEBUG, vvLogTags{}, true, false,
                                        false, "\r\n");
        m_previous = vv_exchange_current_log(m_log.get());
    }
    ~TraceLog() { vv_exchange_current_log(m_previous); }

    // lines ends the log and returns what it wrote.
    std::vector<std::string> lines() {
        vv_exchange_current_log(m_previous);
        m_log.reset();
        std::vector<std::string> result;
        const std::string all = read_all(m_path);
        for (std::size_t start = 0; start < all.size();) {
            const std::size_t end = all.find("\r\n", start);
            const std::string line = all.substr(start, end - start);
            // "yy/mm/dd hh:mm:ss.mmm [xxxxxxxx] " comes first.
            result.push_back(line.substr(line.find("] ") + 2));
            if (end == std::string::npos)
                break;
            start = end + 2;
        }
        return result;
    }

  private:
    TempCwd m_cwd{"dirvane-trace-"};
    fs::path m_path;
    std::unique_ptr<vvLog> m_log;
    vvLog* m_previous = nullptr;
};

void nested(int levels) {
    vvTraceScope trace("level");
    if (levels > 0)
        nested(levels - 1);
}

TEST(Trace, ScopesNestWithDotsAndPairUp) {
    TraceLog log;
    ASSERT_TRUE(vv_tracing());
    {
        vvTraceScope outer("main");
        vv_dump_signed(outer.label("Arg: argc"), 2);
        nested(2);
        vvTraceScope quiet("quiet", true);
        vvTraceScope percent("itCallback%lu");
    }
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               "main: >>> Enter.",
                               "main: Arg: argc = 2",
                               ".level: >>> Enter.",
                               "..level: >>> Enter.",
                               "...level: >>> Enter.",
                               "...level: <<< Exit.",
                               "..level: <<< Exit.",
                               ".level: <<< Exit.",
                               // The quiet scope writes nothing but counts.
                               "..itCallback#lu: >>> Enter.",
                               "..itCallback#lu: <<< Exit.",
                               "main: <<< Exit.",
                           }));
}

TEST(Trace, ValueDumps) {
    TraceLog log;
    {
        vvTraceScope scope("f");
        vv_dump_unsigned(scope.label("code"), 404);
        vv_dump_text(scope.label("text"), std::string("a\"b,c\t\x01\\\x83\x5c", 10));
        vv_dump_pointer(scope.label("outf"), nullptr);
        vv_dump_flag(scope.label("flag"), true);
        vv_dump_form(scope.label("set"), "(a,b)");
        scope.print("%s ignored.", "x.bak");
    }
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1], "f: code = 404");
    EXPECT_EQ(lines[2], "f: text = \"a\\\"b, c\\t\\x01\\\\\x83\x5c\"");
    EXPECT_EQ(lines[3], "f: outf = NULL");
    EXPECT_EQ(lines[4], "f: flag = true");
    EXPECT_EQ(lines[5], "f: set = (a,b)");
    EXPECT_EQ(lines[6], "f: x.bak ignored.");
}

TEST(Trace, PointerDumpShowsAddressAndText) {
    TraceLog log;
    const char* text = "conf";
    {
        vvTraceScope scope("main", true);
        vv_dump_pointer(scope.label("conf"), text);
    }
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("main: conf = 0x")) << lines[0];
    EXPECT_TRUE(lines[0].ends_with(" \"conf\"")) << lines[0];
}

TEST(Trace, EscapeTable) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain 09 AZ az", "plain 09 AZ az"},
        {"\t\n\r", "\\t\\n\\r"},
        {std::string("\x00\x1f\x7f", 3), "\\x00\\x1f\\x7f"},
        {"\"\\,", "\\\"\\\\, "},
        {"\x82\xa0\xff", "\x82\xa0\xff"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(vv_trace_escape(in), out);
}

TEST(Trace, OffWithoutAnOpenLog) {
    vvLog* previous = vv_exchange_current_log(nullptr);
    EXPECT_FALSE(vv_tracing());
    vvTraceScope scope("nothing");
    EXPECT_FALSE(scope.print("x"));
    vv_exchange_current_log(previous);
}

} // namespace
