// Escaping, placeholder replacement and the path functions of entry names.
#include "cgi/html.h"
#include "cgi/path.h"
#include "runtime/url.h"

#include "support/host.h"

#include <gtest/gtest.h>

namespace {

TEST(EscapeHtml, ReplacesEachSpecialCharacterOnce) {
    const std::pair<const char*, const char*> cases[] = {
        {"x<y>&z", "x&lt;y&gt;&amp;z"},       {"&amp;", "&amp;amp;"},
        {"\"quotes' stay", "\"quotes' stay"}, {"", ""},
        {"\x83\x5c<", "\x83\x5c&lt;"},
    };
    for (const auto& [in, out] : cases) {
        std::string text = in;
        EXPECT_EQ(escape_html(text), out);
        EXPECT_EQ(escaped_html(in), out);
    }
}

TEST(EscapeHtml, ControlBytesBecomeQuestionMarks) {
    // A line feed would split a listing row, an escape byte is no character of
    // a page; a double-byte character around them stays whole.
    const std::string in = "a\nb\tc\r\x1b[31m\x7f\x01\x83\x5c\x1f<";
    EXPECT_EQ(escaped_html(in), "a?b?c??[31m??\x83\x5c?&lt;");
    std::string inPlace = in;
    EXPECT_EQ(escape_html(inPlace), escaped_html(in));
    std::string nul("x\0y", 3);
    EXPECT_EQ(escape_html(nul), "x?y");
}

// A plain link text is written as it stands: that must be what encoding and
// escaping make of it, for every byte that counts as plain.
TEST(PlainLinkText, IsItsOwnHrefAndPageText) {
    int plainBytes = 0;
    for (int c = 0; c < 256; ++c) {
        const std::string text = "a" + std::string(1, static_cast<char>(c)) + "b";
        if (!is_plain_link_text(text))
            continue;
        ++plainBytes;
        for (const bool doubleByte : {false, true})
            EXPECT_EQ(vv_url_encode(text, kUrlPathKeep, doubleByte), text) << c;
        EXPECT_EQ(escaped_html(text), text) << c;
        EXPECT_EQ(text.find(':'), std::string::npos) << c;
    }
    // Letters, digits and "!$'()*+,-./=@_~": 62 + 15.
    EXPECT_EQ(plainBytes, 77);
    EXPECT_TRUE(is_plain_link_text("IMG_0001.JPG"));
    EXPECT_TRUE(is_plain_link_text("backup-1.tar.gz"));
    EXPECT_TRUE(is_plain_link_text(""));
    for (const char* text :
         {"a b", "a&b", "javascript:x", "100%", "#top", "a<b", "tab\t", "\x93\xfa", "caf\xc3\xa9"})
        EXPECT_FALSE(is_plain_link_text(text)) << text;
}

TEST(Replace, AllContinuesBehindTheInsertedText) {
    std::string text = "aaa";
    EXPECT_EQ(replace_all(text, "a", "aa"), 3u);
    EXPECT_EQ(text, "aaaaaa");
    std::string none = "abc";
    EXPECT_EQ(replace_all(none, "", "x"), 0u);
    EXPECT_EQ(none, "abc");
}

TEST(Replace, FirstOnly) {
    std::string row = "%n %n";
    EXPECT_TRUE(replace_first(row, "%n", "X"));
    EXPECT_EQ(row, "X %n");
    EXPECT_FALSE(replace_first(row, "%d", "D"));
}

struct PathCase {
    const char* path;
    const char* fileName;
    const char* extension;
    const char* baseName;
};

TEST(PathFunctions, NameExtensionAndBase) {
    if (host_is_windows) {
        GTEST_SKIP() << "POSIX paths; see WindowsPathsAndRoots";
    }
    const PathCase cases[] = {
        {"/srv/pub/a.tar.gz", "a.tar.gz", ".gz", "a.tar"},
        {"/srv/pub/.profile", ".profile", "", ".profile"},
        {"/srv/pub/readme.", "readme.", "", "readme"},
        {"/srv/pub/noext", "noext", "", "noext"},
        {"/srv/pub.d/noext", "noext", "", "noext"},
        {"name.txt", "name.txt", ".txt", "name"},
        {"/", "", "", ""},
        {"", "", "", ""},
        {"/srv/dir/", "", "", ""},
        {"/srv/\x83\x5c.txt", "\x83\x5c.txt", ".txt", "\x83\x5c"},
        {"/srv/\x81\x2e", "\x81\x2e", "", "\x81"}, // 0x2E is no trail byte: a real dot
    };
    for (const auto& c : cases) {
        EXPECT_EQ(path_file_name(c.path), c.fileName) << c.path;
        EXPECT_EQ(path_extension(c.path), c.extension) << c.path;
        EXPECT_EQ(path_base_name(c.path), c.baseName) << c.path;
        // The same from the file name alone.
        EXPECT_EQ(name_extension(c.fileName), c.extension) << c.path;
        EXPECT_EQ(name_base(c.fileName), c.baseName) << c.path;
    }
}

// Backslashes, drive roots and UNC roots: the file name is looked for
// behind the root only, and a server without a share has no name.
TEST(PathFunctions, WindowsPathsAndRoots) {
    if (!host_is_windows) {
        GTEST_SKIP() << "Windows paths";
    }
    const PathCase cases[] = {
        {"C:\\srv\\pub\\a.tar.gz", "a.tar.gz", ".gz", "a.tar"},
        {"C:\\srv\\pub\\.profile", ".profile", "", ".profile"},
        {"C:\\srv\\pub.d\\noext", "noext", "", "noext"},
        {"C:a.txt", "a.txt", ".txt", "a"},
        {"C:", "", "", ""},
        {"C:\\", "", "", ""},
        {"\\\\host\\share\\x.txt", "x.txt", ".txt", "x"},
        {"\\\\host\\share", "", "", ""},
        {"\\\\host", "", "", ""},                            // no share: malformed
        {"\\\\host\\\x83\x5c\\y.txt", "y.txt", ".txt", "y"}, // 0x5C as a trail byte ends no share
        {"C:\\srv\\\x83\x5c.txt", "\x83\x5c.txt", ".txt", "\x83\x5c"},
        {"a", "a", "", "a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(path_file_name(c.path), c.fileName) << c.path;
        EXPECT_EQ(path_extension(c.path), c.extension) << c.path;
        EXPECT_EQ(path_base_name(c.path), c.baseName) << c.path;
    }
    EXPECT_EQ(path_change_extension("C:\\cgi\\Dirvane.exe", ".ini"), "C:\\cgi\\Dirvane.ini");
    EXPECT_EQ(path_change_extension("C:\\x.y\\Dirvane", ".ini"), "C:\\x.y\\Dirvane.ini");
}

TEST(PathFunctions, ChangeExtension) {
    if (host_is_windows) {
        GTEST_SKIP() << "POSIX paths; see WindowsPathsAndRoots";
    }
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/lib/cgi/Dirvane", "/usr/lib/cgi/Dirvane.ini"},
        {"/usr/lib/cgi/Dirvane.exe", "/usr/lib/cgi/Dirvane.ini"},
        {"/x.y/Dirvane", "/x.y/Dirvane.ini"},
        {".Dirvane", ".Dirvane.ini"},
        {"Dirvane", "Dirvane.ini"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(path_change_extension(in, ".ini"), out);
}

} // namespace
