// The ignore lists' look-up: a name is hidden exactly when the lists hold it
// without regard to letter case, whatever the quick pre-check of its first
// characters lets through.
#include "cgi/corvane.h"
#include "platform/text.h"

#include "support/file_text.h"
#include "support/host.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

class IgnoreListTest : public ::testing::Test {
  protected:
    void SetUp() override { m_out = std::tmpfile(); }
    void TearDown() override {
        // The charset setting switches the whole process.
        platform::set_text_charset(platform::Charset::shift_jis);
        std::fclose(m_out);
    }

    Corvane request(const std::string& ini) {
        write_all(m_dir / "Dirvane.ini", ini);
        write_all(m_dir / "config.index", "");
        return Corvane((m_dir / "Dirvane.ini").string(), (m_dir / "config.index").string(), true,
                       m_out);
    }

    TempCwd m_cwd{"dirvane-ignore-"};
    const fs::path m_dir = m_cwd.dir();
    std::FILE* m_out = nullptr;
};

TEST_F(IgnoreListTest, NamesAndExtensionsWithoutRegardToCase) {
    const Corvane r = request("[ignore]\n"
                              "a=1\n"
                              "\x82\x60\x82\x61=1\n" // full-width AB
                              ".Tar=1\n"
                              "index.html=0\n");
    for (const char* hidden : {"Thumbs.db", "THUMBS.DB", "thumbs.DB", "A", "a", "old.bak",
                               "OLD.BAK", "x.Bin", "y.tar", "z.TAR", "\x82\x81\x82\x82", // ab
                               "\x82\x60\x82\x82", "RECYCLER", "Recycler"}) {
        EXPECT_TRUE(r.is_ignored(hidden)) << hidden;
    }
    for (const char* shown :
         {"Thumbs.dbx", "Thumbs", "humbs.db", "ab", "b", "old.bak2", "x.bi", "tar", "index.html",
          "\x82\x81", "\x82\x81\x82\x82\x82\x83", "", "."}) {
        EXPECT_FALSE(r.is_ignored(shown)) << shown;
    }
}

TEST_F(IgnoreListTest, ProgramAndSettingsFilesAreHidden) {
    const Corvane r = request("");
    for (const char* hidden : {"Dirvane.ini", "Dirvane.exe", "DIRVANE.EXE", "config.index"})
        EXPECT_TRUE(r.is_ignored(hidden)) << hidden;
    // The program file without an extension is hidden where programs have none.
    EXPECT_EQ(r.is_ignored("Dirvane"), !host_is_windows);
    EXPECT_EQ(r.is_ignored("dirvane"), !host_is_windows);
    EXPECT_FALSE(r.is_ignored("Dirvane.txt"));
    EXPECT_FALSE(r.is_ignored("Dirvane2"));
}

TEST_F(IgnoreListTest, RemovedNamesAreShownAgain) {
    const Corvane r = request("[ignore]\nThumbs.db=0\n.BAK=0\nnew.txt=1\n");
    EXPECT_FALSE(r.is_ignored("Thumbs.db"));
    EXPECT_FALSE(r.is_ignored("old.bak"));
    EXPECT_TRUE(r.is_ignored("pagefile.sys"));
    EXPECT_TRUE(r.is_ignored("NEW.TXT"));
}

TEST_F(IgnoreListTest, DotNamesAreHiddenOnlyByTheirKey) {
    // An "[ignore]" key starting with "." names an extension, which a
    // dot-file has none of: only "ignoredot" hides .env and .git.
    const struct {
        const char* ini;
        bool hidden;
    } cases[] = {
        {"", false},
        {"[ignore]\n.env=1\n", false},
        {"[index]\nignoredot=0\n", false},
        {"[index]\nignoredot=1\n", true},
        {"[index]\nignoredot=1\n[ignore]\n.env=0\n", true},
    };
    for (const auto& c : cases) {
        const Corvane r = request(c.ini);
        for (const char* name : {".env", ".git", ".Env", "..x", ".well-known"})
            EXPECT_EQ(r.is_ignored(name), c.hidden) << c.ini << name;
        for (const char* name : {"env", "x.git", "a.txt", ""})
            EXPECT_FALSE(r.is_ignored(name)) << c.ini << name;
    }
}

TEST_F(IgnoreListTest, Utf8FoldingThatChangesTheFirstByte) {
    // KELVIN SIGN folds to "k": the name's first byte is not the list's.
    const Corvane r = request("[index]\ncharset=UTF-8\n[ignore]\nkb=1\n\xC3\x84rger=1\n");
    // Windows lowers letters within their script only: its case mapping
    // keeps the Kelvin sign, where Unicode case folding (ICU) gives "k".
    EXPECT_EQ(r.is_ignored("\xE2\x84\xAA"
                           "b"),
              !host_is_windows);
    EXPECT_TRUE(r.is_ignored("KB"));
    EXPECT_TRUE(r.is_ignored("\xC3\xA4RGER")); // a with diaeresis, small
    EXPECT_FALSE(r.is_ignored("\xE2\x84\xAA"));
    EXPECT_FALSE(r.is_ignored("argerr"));
}

} // namespace
