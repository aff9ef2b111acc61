// The request object in a temporary folder: style lookup, script and icon
// folders, the page frame, row templates and the response header.
#include "cgi/corvane.h"
#include "cgi/dir_scan.h"
#include "platform/fs.h"
#include "runtime/log.h"

#include "support/file_text.h"
#include "support/scoped_env.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

class RequestTest : public ::testing::Test {
  protected:
    void SetUp() override { m_out = std::tmpfile(); }
    void TearDown() override { std::fclose(m_out); }

    void write(const char* name, const std::string& text) { write_all(m_dir / name, text); }

    // A request with the given common settings, folder settings and environment.
    Corvane request(const std::string& ini, const std::string& conf = "",
                    const char* agent = nullptr, const char* scriptName = nullptr) {
        write("Dirvane.ini", ini);
        write("config.index", conf);
        if (agent != nullptr)
            setenv("HTTP_USER_AGENT", agent, 1);
        if (scriptName != nullptr)
            setenv("SCRIPT_NAME", scriptName, 1);
        return Corvane((m_dir / "Dirvane.ini").string(), (m_dir / "config.index").string(), true,
                       m_out);
    }

    TempCwd m_cwd{"dirvane-corvane-"};
    const fs::path m_dir = m_cwd.dir();
    // request sets these; each test starts without them and ends as it began.
    ScopedEnv m_agent{"HTTP_USER_AGENT", std::nullopt};
    ScopedEnv m_scriptName{"SCRIPT_NAME", std::nullopt};
    std::FILE* m_out = nullptr;
};

TEST_F(RequestTest, StyleChainOfVariantStyleAndIndex) {
    const std::string ini = "[index]\nstyle=simple\nk=index\nonlyindex=I\n"
                            "[ua]\n1Alpha=i\n0Gamma=g\n1Delta=d\n"
                            "[isimple]\nk=variant\nempty=\n"
                            "[gsimple]\nk=gamma\n"
                            "[simple]\nk=style\nempty=from style\n";
    EXPECT_EQ(request(ini, "", "Alpha/2.0 (x)").get_style("k"), "variant");
    // An empty value falls through to the next level.
    EXPECT_EQ(request(ini, "", "Alpha/2.0").get_style("empty"), "from style");
    EXPECT_EQ(request(ini, "", "Alpha/2.0").get_style("onlyindex"), "I");
    // Keys are tried in their order: 0Gamma before 1Delta and 1Alpha.
    EXPECT_EQ(request(ini, "", "Alpha Gamma").get_style("k"), "gamma");
    // Fragments match case-sensitively; a prefix without a section is no prefix.
    EXPECT_EQ(request(ini, "", "alpha").get_style("k"), "style");
    EXPECT_EQ(request(ini, "", "Delta").get_style("k"), "style");
    // Without a style, section "ua" plays no part.
    EXPECT_EQ(request("[index]\nk=index\n[ua]\n1Alpha=i\n[i]\nk=x\n", "", "Alpha").get_style("k"),
              "index");
}

TEST_F(RequestTest, CatchAllUserAgentKey) {
    const std::string ini = "[index]\nstyle=s\n[ua]\n1Alpha=a\nz=p\n[ps]\nk=p\n[as]\nk=a\n";
    EXPECT_EQ(request(ini, "", "Alpha").get_style("k"), "a");
    EXPECT_EQ(request(ini, "", "Other").get_style("k"), "p");
    EXPECT_EQ(request(ini).get_style("k"), "p");
}

// A double-byte first character of a key orders it whole, and a fragment
// matches whole characters of the user agent only: "\X" is not in "ソX"
// (0x83 0x5C 0x58), whose trail byte is a backslash.
TEST_F(RequestTest, UserAgentKeysKeepDoubleByteCharactersWhole) {
    const std::string ini = "[index]\nstyle=s\n[ua]\n1\\X=b\n2a\x83=e\n"
                            "\x83\x5c"
                            "Alpha=j\n[bs]\nk=b\n[es]\nk=e\n[js]\nk=j\n[s]\nk=s\n";
    const struct {
        const char* agent;
        const char* value;
    } cases[] = {
        {"Alpha/1.0", "j"},
        {"x\x83\x5cX", "s"},
        {"x\\X", "b"},
        {"a\x83\x5c", "s"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(request(ini, "", c.agent).get_style("k"), c.value) << c.agent;
}

TEST_F(RequestTest, ScriptAndIconFolders) {
    const struct {
        const char* scriptName;
        const char* scriptDir;
    } scripts[] = {{"/cgi/list/index.cgi", "/cgi/list/"}, {"/", "/"}, {"noslash", ""}};
    for (const auto& s : scripts)
        EXPECT_EQ(request("", "", nullptr, s.scriptName).script_dir(), s.scriptDir);
    EXPECT_EQ(request("").script_dir(), "");

    EXPECT_EQ(request("[icon]\npath=/icons\n").icon_path(), "/icons/");
    EXPECT_EQ(request("[icon]\npath=/icons/\n").icon_path(), "/icons/");
    EXPECT_EQ(request("").icon_path(), "");
}

TEST_F(RequestTest, TitleWithPlainAndLinkedPath) {
    const struct {
        const char* ini;
        const char* scriptName;
        const char* plain;
        const char* linked;
    } cases[] = {
        {"", "/pub/doc/config.index", "Index of /pub/doc/",
         "Index of <a href=\"/\">/</a><a href=\"/pub/\">pub/</a><a href=\"/pub/doc/\">doc/</a>"},
        {"[index]\ntitle=Files\n", "/pub/x", "Files", "Files"},
        {"[index]\ntitle=%p - %p\n", "/x", "/ - %p", "/ - %p"},
        {"", nullptr, "Index of .", "Index of ."},
        {"", "/a b/c", "Index of /a b/",
         "Index of <a href=\"/\">/</a><a href=\"/a%20b/\">a b/</a>"},
        // No heading link starts with "//": that would name another host.
        {"", "//evil.example/x/config.index", "Index of //evil.example/x/",
         "Index of <a href=\"/\">/</a><a href=\"/evil.example/\">evil.example/</a><a "
         "href=\"/evil.example/x/\">x/</a>"},
        {"", "///evil.example/config.index", "Index of ///evil.example/",
         "Index of <a href=\"/\">/</a><a href=\"/evil.example/\">evil.example/</a>"},
        {"", "//config.index", "Index of //", "Index of //"},
        {"", "/a//b/config.index", "Index of /a//b/",
         "Index of <a href=\"/\">/</a><a href=\"/a/\">a/</a><a href=\"/a//\">/</a><a "
         "href=\"/a//b/\">b/</a>"},
    };
    for (const auto& c : cases) {
        const Corvane r = request(c.ini, "", nullptr, c.scriptName);
        EXPECT_EQ(r.str_title(false, false), c.plain);
        EXPECT_EQ(r.str_title(true, false), c.linked);
        unsetenv("SCRIPT_NAME");
    }
}

TEST_F(RequestTest, ImodeReadsOnlyTheImodeKeys) {
    const Corvane r = request("[index]\ntitle=T\nmeta=M\nbody=<body x>\nhead=H\nmessage=G\n"
                              "tail=Z\nititle=iT\n");
    EXPECT_EQ(r.str_htmlhead("", false), "<html>\n<head>\nM\n<title>T</title>\n</head>\n");
    EXPECT_EQ(r.str_bodybegin("", false), "<body x>\nH<h2>T</h2>G<hr>\n");
    EXPECT_EQ(r.str_bodyend(false), "\nZ</body>\n</html>\n");
    EXPECT_EQ(r.str_bodybegin("", true), "<body>\n<h2>iT</h2><hr>\n");
    EXPECT_EQ(r.str_bodyend(true), "\n</body>\n</html>\n");
    // A title given by the caller is used as it is.
    EXPECT_EQ(r.str_bodybegin("<Given>", false), "<body x>\nH<h2><Given></h2>G<hr>\n");
}

TEST_F(RequestTest, SizeText) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0 B "},
        {1023, "1023 B "},
        {1024, "1 KB"},
        {1048575, "1023 KB"},
        {1048576, "1 MB"},
        {10485759999ull, "9999 MB"},
        {10485760000ull, "9 GB"},
        {10000ull << 30, "9 TB"},
        {~0ull, "16777215 TB"},
    };
    for (const auto& [size, text] : cases)
        EXPECT_EQ(Corvane::str_size(size), text) << size;
}

// The rows between "<pre>\n" and "</pre>" of a plain listing.
std::string plain_rows(const Corvane& r) {
    const std::string& body = r.body();
    const std::size_t start = body.find("<pre>\n") + 6;
    return body.substr(start, body.find("</pre>", start) - start);
}

TEST_F(RequestTest, RowTemplatesAndNameWidth) {
    write("x.txt", "12345");
    // 2004/11/05 09:07 in the tests' time zone (JST).
    fs::last_write_time(m_dir / "x.txt", std::chrono::file_clock::from_sys(std::chrono::sys_seconds{
                                             std::chrono::seconds{1099613220}}));
    const std::string link = "<a href=\"x.txt\">x.txt</a>";
    const std::string date = "2004/11/05 09:07";
    const auto spaces = [](std::size_t n) { return std::string(n, ' '); };
    const struct {
        const char* conf;
        std::string rows;
    } cases[] = {
        {"nrow=%s|%n\nfnlen=16", spaces(5) + "5 B |" + link + spaces(11) + "\n"},
        {"nrow=%n %n\nfnlen=8", link + spaces(59) + " %n\n"},
        {"nrow=%n|\nfnlen=-5", link + spaces(59) + "|\n"},
        {"nrow=%n|\nfnlen=0x20", link + spaces(27) + "|\n"},
        {"nrow=%n|\nfnlen=4096", link + spaces(4091) + "|\n"},
        {"nrow=[%d %d]", "[" + date + " %d]\n"},
        {"nrow=none", "none\n"},
        // imode: the normal row key is not read and nothing is filled.
        {"nrow=%n|\nimode=1", link + " : 5 B  : " + date + "\n"},
        {"inrow=%s|%n|\nimode=1", "5 B |" + link + "|\n"},
    };
    for (const auto& c : cases) {
        Corvane r = request("", std::string("[index]\n") + c.conf + "\n");
        r.put("");
        EXPECT_EQ(plain_rows(r), c.rows) << c.conf;
    }
}

// The compact page fills no columns, so it reserves no room for a fill: a
// folder's widest name width cannot make a large folder's page ask for
// gigabytes it never writes.
TEST_F(RequestTest, CompactPageReservesWhatItWrites) {
    for (int i = 0; i < 2000; ++i)
        write(("f" + std::to_string(i)).c_str(), "");
    Corvane r = request("", "[index]\nimode=1\nfnlen=4096\n");
    r.put("");
    EXPECT_LT(r.body().capacity(), 4 * r.body().size());
}

TEST_F(RequestTest, DebugReportStopsGrowingAtOneMebibyte) {
    std::string ini = "[index]\ndebug=1\n";
    Corvane r = request(ini);
    ASSERT_TRUE(r.debug_flag());
    const std::size_t before = r.debug_text().size();
    const std::string chunk(4096, 'x');
    for (int i = 0; i < 400; ++i)
        r.debug_line(chunk);
    EXPECT_GE(r.debug_text().size(), 1048576u);
    EXPECT_LT(r.debug_text().size(), 1048576u + chunk.size() + 1);
    EXPECT_GT(r.debug_text().size(), before);
}

// A read error that ends the scan part-way is no end of the folder: the scan
// keeps what it read, reports the failure and says so in the trace.
TEST_F(RequestTest, ScanEndedByAReadErrorIsToldApart) {
    for (const char* name : {"a", "b", "c", "d"})
        write(name, "x");
    std::vector<DirEntry> list;
    ASSERT_TRUE(scan_dir(list, true, true, "*.*"));
    EXPECT_EQ(list.size(), 4u);

    // The trace goes beside the folder, so that it is not listed.
    const fs::path tracePath = m_dir.string() + "-trace.log";
    auto log = std::make_unique<vvLog>(tracePath.string(), 0, lvDEBUG, vvLogTags{}, true, false,
                                       false, "\n");
    vvLog* const previous = vv_exchange_current_log(log.get());
    // The error comes after the last record: only the error tells it from
    // the end.
    platform::set_directory_read_hook([](std::size_t read) { return read == 6 ? EIO : 0; });
    list.clear();
    const bool complete = scan_dir(list, true, true, "*.*");
    platform::set_directory_read_hook(nullptr);
    vv_exchange_current_log(previous);
    log.reset();
    EXPECT_FALSE(complete);
    EXPECT_EQ(list.size(), 4u);
    const std::string trace = read_all(tracePath);
    EXPECT_NE(trace.find("scan_dir: The scan ended on a read error (error " + std::to_string(EIO) +
                         ") after 4 entries."),
              std::string::npos)
        << trace;
    fs::remove(tracePath);
}

TEST_F(RequestTest, EnvironmentIsASnapshotAtTheStart) {
    const ScopedEnv value("DIRVANE_TEST_VALUE", "a=b");
    const ScopedEnv empty("DIRVANE_TEST_EMPTY", "");
    const ScopedEnv late("DIRVANE_TEST_LATE", "before");
    Corvane r = request("");
    const ScopedEnv changed("DIRVANE_TEST_LATE", "after");
    const ScopedEnv added("DIRVANE_TEST_NEW", "new");
    EXPECT_EQ(r.env("DIRVANE_TEST_VALUE"), "a=b"); // the first "=" ends the name
    EXPECT_EQ(r.env("DIRVANE_TEST_VALUE=a"), "");
    EXPECT_EQ(r.env("DIRVANE_TEST_VALU"), ""); // a prefix of a name is no name
    EXPECT_EQ(r.env("DIRVANE_TEST_EMPTY"), "");
    EXPECT_EQ(r.env("DIRVANE_TEST_LATE"), "before");
    EXPECT_EQ(r.env("DIRVANE_TEST_NEW"), "");
    EXPECT_EQ(&r.env("DIRVANE_TEST_VALUE"), &r.env("DIRVANE_TEST_VALUE"));
}

TEST_F(RequestTest, HeaderCarriesStatusAndExactLength) {
    Corvane r = request("[index]\nresult=299\nhtml=<p>x</p>\n");
    r.put("");
    EXPECT_EQ(r.status(), 299u);
    EXPECT_EQ(r.header_text(), "Status: 299\r\nContent-Type: text/html\r\nContent-Length: " +
                                   std::to_string(r.body().size()) + "\r\n\r\n");
}

} // namespace
