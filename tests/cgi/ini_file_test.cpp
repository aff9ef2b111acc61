// IniFile: INI syntax, layering of files, lookups and the debug text.
#include "cgi/ini_file.h"

#include "platform/fs.h"
#include "platform/text.h"

#include "support/file_text.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// from_text builds a store without a file and merges `text` into it.
IniFile from_text(std::string_view text, KeyOrder order = KeyOrder::exact) {
    IniFile ini("", order);
    ini.load_text(text);
    return ini;
}

struct SyntaxCase {
    const char* name;
    std::string text;
    std::string expected; // dump() of a store without a path
    platform::Charset charset = platform::Charset::shift_jis;
};

TEST(IniSyntax, LinesSectionsAndEntries) {
    const SyntaxCase cases[] = {
        {"empty text", "", ""},
        {"plain", "[a]\nx=1\n", ",[a]{(x:1)}"},
        {"last line without LF", "[a]\nx=1", ",[a]{(x:1)}"},
        {"CR LF", "[a]\r\nx=1\r\ny = 2\r\n", ",[a]{(x:1),(y:2)}"},
        {"trim blanks and tabs", "  [a]\t\n\t k \t=\t v  w \t\n", ",[a]{(k:v  w)}"},
        {"comments only as whole lines", "[a]\n;x=1\n#y=2\n   ;z=3\nk=1 ;c\nh=#x\n",
         ",[a]{(h:#x),(k:1 ;c)}"},
        {"double brackets", "[[index]]\nk=v", ",[index]{(k:v)}"},
        {"open bracket", "[index\nk=v", ",[index]{(k:v)}"},
        {"bracket mix at the end", "[index[]][\nk=v", ",[index]{(k:v)}"},
        {"blanks inside brackets stay", "[ index ]\nk=v", ",[ index ]{(k:v)}"},
        {"no inline comment on headers", "[index] ;note\nk=v", ",[index] ;note]{(k:v)}"},
        {"equals sign in a header", "[a=b]\nk=v", ",[a=b]{(k:v)}"},
        {"header without entries", "[a]\nk=v\n[b]", ",[a]{(k:v)},[b]{}"},
        {"entries before the first header", "x=1\n[a]\ny=2", ",[a]{(y:2)}"},
        {"entries after an empty header", "[a]\nx=1\n[]\ny=2\n[]]]\ny=3\n[b]\nz=3",
         ",[a]{(x:1)},[b]{(z:3)}"},
        {"split at the first equals sign", "[a]\na = b = c", ",[a]{(a:b = c)}"},
        {"empty value is an entry", "[a]\nk=", ",[a]{(k:)}"},
        {"empty key", "[a]\n=x", ",[a]{(:x)}"},
        {"line without equals sign", "[a]\nno equals\n", ",[a]{}"},
        {"later value replaces", "[a]\nk=1\nk=2", ",[a]{(k:2)}"},
        {"repeated sections merge", "[a]\nx=1\n[b]\ny=2\n[a]\nx=3\nz=4",
         ",[a]{(x:3),(z:4)},[b]{(y:2)}"},
        {"section names keep case", "[Index]\nk=1\n[index]\nk=2", ",[Index]{(k:1)},[index]{(k:2)}"},
        {"sections in unsigned byte order", "[\xB1]\n[a]\n[B]", ",[B]{},[a]{},[\xB1]{}"},
        {"blank lines", "\n\n[a]\n\r\n  \t\nk=v\n\n", ",[a]{(k:v)}"},
        {"lone CR lines", "[a]\r\r\nk=v\r", ",[a]{(k:v)}"},
        // Shift_JIS trail bytes 0x5D and 0x5B are never taken for brackets.
        {"double-byte character ending in 0x5D", "[\x83\x5D]\nk=v\n[\x83\x5B]\nk=w",
         ",[\x83[]{(k:w)},[\x83]]{(k:v)}"},
        {"double-byte name ending in 0x5B", "[\x83\x86\x81\x5B\x83\x55\x81\x5B]]\nk=v",
         ",[\x83\x86\x81\x5B\x83\x55\x81\x5B]{(k:v)}"},
        {"double-byte character without closing bracket", "[\x83\x5D\nk=v", ",[\x83]]{(k:v)}"},
        {"lead byte before the closing bracket", "[a\x83]\nk=v", ",[a\x83]]{(k:v)}"},
        {"UTF-8: no byte is a lead byte", "[\x83]]\nk=v", ",[\x83]{(k:v)}",
         platform::Charset::utf8},
    };
    for (const auto& c : cases) {
        platform::set_text_charset(c.charset);
        EXPECT_EQ(from_text(c.text).dump(), c.expected) << c.name;
    }
    platform::set_text_charset(platform::Charset::shift_jis);
}

struct KeyOrderCase {
    const char* name;
    std::string text;
    std::string exact;
    std::string noCase;
};

TEST(IniSyntax, KeyOrders) {
    const KeyOrderCase cases[] = {
        {"case variants", "[a]\nKey=1\nkey=2", ",[a]{(Key:1),(key:2)}", ",[a]{(Key:2)}"},
        {"first spelling kept", "[a]\nkey=1\nKEY=2\nKey=3", ",[a]{(KEY:2),(Key:3),(key:1)}",
         ",[a]{(key:3)}"},
        {"letters fold to lower case", "[a]\nb=1\nB=2\na=3\n_=4", ",[a]{(B:2),(_:4),(a:3),(b:1)}",
         ",[a]{(_:4),(a:3),(b:2)}"},
        {"single byte against double byte", "[a]\n\xB1=1\n\x81\x40=2",
         ",[a]{(\x81\x40:2),(\xB1:1)}", ",[a]{(\xB1:1),(\x81\x40:2)}"},
        {"full-width letters", "[a]\n\x82\x60=1\n\x82\x81=2", ",[a]{(\x82\x60:1),(\x82\x81:2)}",
         ",[a]{(\x82\x60:2)}"},
        {"bytes compare unsigned", "[a]\n\xB1=1\nz=2", ",[a]{(z:2),(\xB1:1)}",
         ",[a]{(z:2),(\xB1:1)}"},
        {"shorter first", "[a]\nab=1\na=2\nabc=3", ",[a]{(a:2),(ab:1),(abc:3)}",
         ",[a]{(a:2),(ab:1),(abc:3)}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(from_text(c.text, KeyOrder::exact).dump(), c.exact) << c.name;
        EXPECT_EQ(from_text(c.text, KeyOrder::no_case).dump(), c.noCase) << c.name;
    }
}

TEST(IniSyntax, EachLoadStartsWithoutSection) {
    IniFile ini("");
    ini.load_text("[a]\nx=1");
    ini.load_text("y=2\n[b]\nz=3");
    EXPECT_EQ(ini.dump(), ",[a]{(x:1)},[b]{(z:3)}");
}

TEST(IniSyntax, NulByteStaysInValue) {
    const IniFile ini = from_text(std::string("[a]\nk=x\0y\n", 10));
    EXPECT_EQ(ini.get_string("a", "k"), std::string("x\0y", 3));
}

TEST(IniSyntax, GetSectionEnumeratesInKeyOrder) {
    const IniFile ini = from_text("[s]\nc=1\nB=2\na=3", KeyOrder::no_case);
    std::vector<std::string> keys;
    for (const auto& entry : ini.get_section("s").entries) {
        keys.push_back(entry.first);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "B", "c"}));
    EXPECT_EQ(ini.get_section("s").entries.count("b"), 1u);

    const IniSection& missing = ini.get_section("t");
    EXPECT_TRUE(missing.entries.empty());
    EXPECT_EQ(&missing, &ini.get_section("S")); // the one default section
}

// reference_expand is the line-break rule as worded: replace the first blank,
// backslash, "n" and search again from the start until none is left.
std::string reference_expand(const std::string& value) {
    std::string text = value;
    for (auto pos = text.find(" \\n"); pos != std::string::npos; pos = text.find(" \\n")) {
        std::string next = text.substr(0, pos);
        next += '\n';
        next.append(text, pos + 3);
        text = std::move(next);
    }
    return text;
}

struct ExpandCase {
    std::string value; // as written after "k=" in the file
    std::string expected;
};

TEST(IniGetString, LineBreakExpansion) {
    const ExpandCase cases[] = {
        {"a \\nb", "a\nb"},
        {"a\\nb", "a\\nb"},
        {"a \\n b", "a\n b"},
        {"a  \\n\\nb", "a \n\\nb"},
        {"a \\n \\nb", "a\n\nb"},
        {"a \\ \\nn", "a \\\nn"},
        {"a \\\\n", "a \\\\n"},
        {"a \\N", "a \\N"},
        {"a \\n", "a\n"},
        {" \\nb", "\\nb"}, // the blank is trimmed off before the lookup
        {"", ""},
    };
    for (const auto& c : cases) {
        const IniFile ini = from_text("[s]\nk=" + c.value);
        EXPECT_EQ(ini.get_string("s", "k"), c.expected) << "value: " << c.value;
    }
}

TEST(IniGetString, ExpansionMatchesRestartRule) {
    // Every text of up to seven characters over blank, backslash, n and x,
    // framed so that trimming does not touch it.
    const std::string alphabet = " \\nx";
    std::vector<std::string> texts = {""};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i].size() < 7) {
            for (char c : alphabet) {
                texts.push_back(texts[i] + c);
            }
        }
    }
    // Appending piece by piece: "k" + std::to_string(i) trips a false
    // -Wrestrict of g++ 12 at -O3.
    const auto key = [](std::size_t i) {
        std::string text(1, 'k');
        text += std::to_string(i);
        return text;
    };
    IniFile ini("");
    std::string file = "[s]\n";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        file += key(i);
        file += "=<";
        file += texts[i];
        file += ">\n";
    }
    ini.load_text(file);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::string expected(1, '<');
        expected += reference_expand(texts[i]);
        expected += '>';
        ASSERT_EQ(ini.get_string("s", key(i)), expected) << "value: " << texts[i];
    }
}

TEST(IniGetString, MissingGivesEmpty) {
    const IniFile ini = from_text("[s]\nk=v");
    EXPECT_EQ(ini.get_string("s", "x"), "");
    EXPECT_EQ(ini.get_string("t", "k"), "");
    EXPECT_EQ(ini.get_string("S", "k"), "");
}

struct NumberCase {
    std::string file;
    std::uint32_t expected; // get_number("index", "timeout", 30)
};

TEST(IniGetNumber, RawValueOrDefault) {
    const NumberCase cases[] = {
        {"[index]\ntimeout=0x3C", 60},
        {"[index]\ntimeout=060", 48},
        {"[index]\ntimeout=5", 5},
        {"[index]\ntimeout=0", 0},
        {"[index]\ntimeout=", 30},
        {"[index]\ntimeout=abc", 0},
        {"[index]\ntimeout=-1", 4294967295u},
        {"[index]\ntimeout=12 \\n3", 12},
        {"[index]\nother=5", 30},
        {"[index]\nTimeout=5", 30},
        {"[Index]\ntimeout=5", 30},
        {"", 30},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(from_text(c.file).get_number("index", "timeout", 30), c.expected) << c.file;
    }
    EXPECT_EQ(from_text("[index]\nTimeout=5", KeyOrder::no_case).get_number("index", "timeout", 30),
              5u);
}

TEST(IniDump, DebugTexts) {
    const std::string sep(1, platform::path_separator());
    IniFile ini(sep + "srv" + sep + "www" + sep + "config.index", KeyOrder::no_case);
    ini.load_text("[index]\ndebug=1\n[icon]\nheight=16\ndefault=x.gif\n");
    EXPECT_EQ(ini.dump(), "config.index,[icon]{(default:x.gif),(height:16)},[index]{(debug:1)}");

    ini.load_text("[empty]\n[index]\ntext=a \\nb:(c),d\n");
    EXPECT_EQ(ini.dump(), "config.index,[empty]{},[icon]{(default:x.gif),(height:16)},"
                          "[index]{(debug:1),(text:a \\nb:(c),d)}");

    struct PathCase {
        std::string path;
        std::string expected;
    };
    const PathCase paths[] = {
        {"config.index", "config.index"},
        {"C:config.index", "config.index"},
        {"dir" + sep + "sub" + sep + "a.ini", "a.ini"},
        {"dir" + sep, ""},
        {"1:x", "1:x"},
        {"", ""},
    };
    for (const auto& p : paths) {
        EXPECT_EQ(IniFile(p.path).dump(), p.expected) << p.path;
    }

    EXPECT_EQ(dump_flag(true), "true");
    EXPECT_EQ(dump_flag(false), "false");
    EXPECT_EQ(dump_names(std::set<std::string>{}), "()");
    EXPECT_EQ(dump_names(std::set<std::string>{"b", ".bak", "Thumbs.db"}), "(.bak,Thumbs.db,b)");
}

// IniFileOnDisk gives each test a fresh folder for its settings files.
class IniFileOnDisk : public ::testing::Test {
  protected:
    std::string write(const std::string& name, const std::string& text) {
        const fs::path path = m_dir / name;
        write_all(path, text);
        return path.string();
    }

    TempCwd m_cwd{"dirvane-ini-"};
    const fs::path m_dir = m_cwd.dir();
};

TEST_F(IniFileOnDisk, ReadsFileLikeText) {
    const std::string text = "[icon]\r\nheight=16\r\ndefault=x.gif\r\n[index]\r\ndebug=1";
    const std::string path = write("config.index", text);
    IniFile ini(path);
    EXPECT_TRUE(ini.good());
    EXPECT_EQ(ini.path(), path);
    EXPECT_EQ(ini.dump(), "config.index,[icon]{(default:x.gif),(height:16)},[index]{(debug:1)}");
}

TEST_F(IniFileOnDisk, MissingFileChangesNothing) {
    IniFile ini(write("common.ini", "[index]\ntimeout=5\n"));
    const std::string before = ini.dump();
    const std::string missing = (m_dir / "missing.ini").string();
    EXPECT_TRUE(ini.load(missing));
    EXPECT_TRUE(ini.good());
    EXPECT_EQ(ini.path(), missing);
    EXPECT_EQ(ini.get_number("index", "timeout", 30), 5u);
    EXPECT_EQ(ini.dump(), "missing.ini" + before.substr(std::string("common.ini").size()));

    IniFile none(missing);
    EXPECT_TRUE(none.good());
    EXPECT_TRUE(none.sections().empty());
}

TEST_F(IniFileOnDisk, EmptyNameReloadsRememberedFile) {
    const std::string path = write("Dirvane.ini", "[index]\ntitle=T\nk=1\nk=2\n[ua]\nxMSIE=ie\n");
    IniFile ini(path, KeyOrder::no_case);
    const std::string before = ini.dump();
    EXPECT_TRUE(ini.load(""));
    EXPECT_EQ(ini.path(), path);
    EXPECT_EQ(ini.dump(), before);

    IniFile nameless("");
    EXPECT_TRUE(nameless.load(""));
    EXPECT_EQ(nameless.dump(), "");
}

TEST_F(IniFileOnDisk, FolderFileLayersOverCommonFile) {
    const std::string common = write("Dirvane.ini", "[index]\n"
                                                    "debug=0\n"
                                                    "title=Common\n"
                                                    "sort=name\n"
                                                    "log=a.log\n"
                                                    "[icon]\n"
                                                    "default=x.gif\n");
    const std::string folder = write("config.index", "[index]\n"
                                                     "Debug=1\n"
                                                     "TITLE=Folder\n"
                                                     "log=\n"
                                                     "new=n\n"
                                                     "[Index]\n"
                                                     "sort=size\n"
                                                     "[extra]\n"
                                                     "k=v\n");
    IniFile conf(common, KeyOrder::no_case);
    EXPECT_EQ(conf.get_number("index", "debug", 0), 0u);
    EXPECT_TRUE(conf.load(folder));
    EXPECT_EQ(conf.dump(), "config.index,[Index]{(sort:size)},[extra]{(k:v)},"
                           "[icon]{(default:x.gif)},"
                           "[index]{(debug:1),(log:),(new:n),(sort:name),(title:Folder)}");
    EXPECT_EQ(conf.get_number("index", "debug", 0), 1u);
    EXPECT_EQ(conf.get_string("index", "log"), "");
    EXPECT_EQ(conf.get_number("index", "log", 7), 7u);
}

TEST_F(IniFileOnDisk, ReadErrorKeepsWhatWasMerged) {
    IniFile ini(write("common.ini", "[index]\ntimeout=5\n"));
    const fs::path folder = m_dir / "folder.ini";
    fs::create_directory(folder);
    if (!std::ifstream(folder).is_open()) {
        GTEST_SKIP() << "a folder cannot be opened as a file here";
    }
    // The folder opens as a file, but reading it fails.
    EXPECT_FALSE(ini.load(folder.string()));
    EXPECT_FALSE(ini.good());
    EXPECT_EQ(ini.get_number("index", "timeout", 30), 5u);
    EXPECT_TRUE(ini.load(write("next.ini", "")));
    EXPECT_TRUE(ini.good());
}

TEST_F(IniFileOnDisk, LongLinesAndNulBytes) {
    const std::string longValue(70000, 'v'); // longer than one read chunk
    const std::string line64k = "k=" + std::string(65536 - 2, 'w');
    std::string text = "[a]\nlong=" + longValue + "\n" + line64k + "\n";
    text += std::string("nul=x\0y\n", 8);
    IniFile ini(write("long.ini", text));
    EXPECT_TRUE(ini.good());
    EXPECT_EQ(ini.get_string("a", "long"), longValue);
    EXPECT_EQ(ini.get_string("a", "k").size(), 65536u - 2);
    EXPECT_EQ(ini.get_string("a", "nul"), std::string("x\0y", 3));
}

TEST_F(IniFileOnDisk, CrLfFileEqualsLfFile) {
    const std::string lf = "[a]\nx=1\n;c\n[b]\ny = 2\n";
    std::string crlf;
    for (char c : lf) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    const IniFile fromLf(write("lf.ini", lf));
    const IniFile fromCrLf(write("crlf.ini", crlf));
    EXPECT_EQ(fromLf.dump(), "lf.ini,[a]{(x:1)},[b]{(y:2)}");
    EXPECT_EQ(fromCrLf.dump(), "crlf.ini,[a]{(x:1)},[b]{(y:2)}");
}

} // namespace
