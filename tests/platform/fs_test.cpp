// Tests of the file system services: directory search, full paths, path syntax.
#include "platform/fs.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// TempFolder is a fresh folder that is removed with everything in it.
class TempFolder {
  public:
    explicit TempFolder(const fs::path& parent = fs::temp_directory_path()) {
        std::string tmpl = (parent / "dirvane_fs_XXXXXX").string();
        if (mkdtemp(tmpl.data()) != nullptr) {
            m_path = tmpl;
        }
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }

  private:
    fs::path m_path;
};

void write_file(const fs::path& p, std::size_t size) {
    std::ofstream(p, std::ios::binary) << std::string(size, 'x');
}

void set_mtime(const fs::path& p, long seconds, long nanoseconds) {
    timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << p;
}

// Found is a record of a search, kept beyond the visit.
struct Found {
    std::string name;
    bool isDir = false;
    std::uint64_t size = 0;
    bool hasTime = false;
    std::int64_t seconds = 0;
    std::int32_t microseconds = 0;
};

// find_files collects the records of a search; true when it read the whole
// folder.
bool find_files(const std::string& pattern, std::vector<Found>& out) {
    return platform::find_files(pattern, [&](const platform::FoundFile& f) {
               out.push_back(Found{std::string(f.name), f.isDir, f.size, f.hasTime, f.seconds,
                                   f.microseconds});
           }).end == platform::SearchEnd::complete;
}

const Found* find(const std::vector<Found>& list, const std::string& name) {
    for (const auto& f : list) {
        if (f.name == name) {
            return &f;
        }
    }
    return nullptr;
}

std::vector<std::string> names_of(const std::vector<Found>& list) {
    std::vector<std::string> names;
    for (const auto& f : list) {
        names.push_back(f.name);
    }
    return names;
}

TEST(FindFiles, RecordsFilesFoldersAndLinks) {
    TempFolder dir;
    ASSERT_FALSE(dir.path().empty());
    write_file(dir.path() / "a.txt", 5);
    write_file(dir.path() / "empty", 0);
    fs::create_directory(dir.path() / "sub");
    write_file(dir.path() / "sub" / "inner.txt", 1);
    fs::create_directory_symlink("sub", dir.path() / "to_sub");
    fs::create_symlink("a.txt", dir.path() / "to_a");
    fs::create_symlink("nowhere", dir.path() / "dangling");
    fs::create_symlink("loop2", dir.path() / "loop1");
    fs::create_symlink("loop1", dir.path() / "loop2");
    set_mtime(dir.path() / "a.txt", 1100000000, 123456789);
    set_mtime(dir.path() / "sub", -86400, 999999999);
    set_mtime(dir.path() / "dangling", 1000000000, 5000);

    std::vector<Found> out;
    ASSERT_TRUE(find_files(dir.str() + "/*.*", out));

    std::vector<std::string> names = names_of(out);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a.txt", "dangling", "empty", "loop1",
                                               "loop2", "sub", "to_a", "to_sub"}));

    struct Expected {
        const char* name;
        bool isDir;
        std::uint64_t size;
    };
    const Expected table[] = {
        {".", true, 0},
        {"a.txt", false, 5},
        {"empty", false, 0},
        {"sub", true, 0},
        {"to_sub", true, 0},
        {"to_a", false, 5},
        {"dangling", false, 7}, // the link itself: its
                                // target text "nowhere"
        {"loop1", false, 5},    // a loop cannot be followed either: "loop2"
    };
    for (const auto& e : table) {
        const Found* f = find(out, e.name);
        ASSERT_NE(f, nullptr) << e.name;
        EXPECT_EQ(f->isDir, e.isDir) << e.name;
        EXPECT_EQ(f->size, e.size) << e.name;
        EXPECT_TRUE(f->hasTime) << e.name;
    }

    struct Time {
        const char* name;
        std::int64_t seconds;
        std::int32_t microseconds;
    };
    const Time times[] = {
        // Times keep whole milliseconds: the rest is cut off.
        {"a.txt", 1100000000, 123000}, {"to_a", 1100000000, 123000}, // the target's time
        {"sub", -86400, 999000},       {"to_sub", -86400, 999000},   {"dangling", 1000000000, 0},
    };
    for (const auto& t : times) {
        const Found* f = find(out, t.name);
        ASSERT_NE(f, nullptr) << t.name;
        EXPECT_EQ(f->seconds, t.seconds) << t.name;
        EXPECT_EQ(f->microseconds, t.microseconds) << t.name;
    }
}

TEST(FindFiles, KeepsTheOrderOfTheFileSystemAndAppends) {
    TempFolder dir;
    for (int i = 0; i < 50; ++i) {
        // (Appending avoids a false -Wrestrict of g++ 12 on "f" + string.)
        std::string name = "f";
        name += std::to_string(i * 7919 % 50);
        write_file(dir.path() / name, 1);
    }
    std::vector<std::string> expected = {"earlier"};
    DIR* d = opendir(dir.str().c_str());
    ASSERT_NE(d, nullptr);
    while (const dirent* e = readdir(d)) {
        expected.push_back(e->d_name);
    }
    closedir(d);

    std::vector<Found> out(1);
    out[0].name = "earlier";
    ASSERT_TRUE(find_files(dir.str() + "/*", out));
    EXPECT_EQ(names_of(out), expected);
}

TEST(FindFiles, WildcardHasTheWindowsMeaning) {
    struct Row {
        const char* pattern;
        const char* name;
        bool match;
    };
    const Row table[] = {
        {"*.*", "noext", true},
        {"*.*", "a.b.c", true},
        {"*.*", ".hidden", true},
        {"*", "noext", true},
        {"*.txt", "a.txt", true},
        {"*.txt", "B.TXT", true},
        {"*.txt", "a.txt.bak", false},
        {"*.txt", "atxt", false},
        {"*.TXT", "a.txt", true},
        {"a?c", "abc", true},
        {"a?c", "AXC", true},
        {"a?c", "ac", false},
        {"a?c", "abbc", false},
        {"A*", "abc", true},
        {"*b*", "abc", true},
        {"*b*", "ac", false},
        {"a*b*c", "axxbyyc", true},
        {"a*b*c", "axxbyy", false},
        {"readme.*", "readme", true}, // a final ".*" also matches nothing
        {"readme.*", "README.md", true},
        {"readme.*", "readme2", false},
        {"abc", "abc", true},
        {"abc", "abcd", false},
        // "?" takes a double-byte character whole; its trail byte is no letter.
        {"?", "\x83\x41", true},
        {"??", "\x83\x41", false},
        {"x?", "x\x95\x5c", true},
        {"\x83\x61", "\x83\x41", false},
        {"*\x95\x5c", "a\x95\x5c", true},
        {"*\\", "a\x95\x5c", false},
    };
    TempFolder dir;
    for (const auto& row : table) {
        std::ofstream(dir.path() / row.name);
    }
    for (const auto& row : table) {
        std::vector<Found> out;
        ASSERT_TRUE(find_files(dir.str() + "/" + row.pattern, out)) << row.pattern;
        EXPECT_EQ(find(out, row.name) != nullptr, row.match)
            << "pattern " << row.pattern << " name " << row.name;
    }
}

TEST(FindFiles, DotEntriesFollowTheWildcard) {
    TempFolder dir;
    std::vector<Found> out;
    ASSERT_TRUE(find_files(dir.str() + "/*.txt", out));
    EXPECT_TRUE(out.empty());
    ASSERT_TRUE(find_files(dir.str() + "/", out)); // an empty wildcard matches nothing
    EXPECT_TRUE(out.empty());
    ASSERT_TRUE(find_files(dir.str() + "/*", out));
    EXPECT_EQ(out.size(), 2u);
}

TEST(FindFiles, FolderPartIsRelativeToTheWorkingDirectory) {
    TempFolder dir(fs::current_path());
    write_file(dir.path() / "here.txt", 3);
    std::vector<Found> out;
    ASSERT_TRUE(find_files(dir.path().filename().string() + "/*.txt", out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].name, "here.txt");
    EXPECT_EQ(out[0].size, 3u);

    // Without a folder part the working directory itself is searched.
    out.clear();
    ASSERT_TRUE(find_files("*.*", out));
    EXPECT_NE(find(out, dir.path().filename().string()), nullptr);
    EXPECT_NE(find(out, ".."), nullptr);
}

TEST(FindFiles, RootFolder) {
    std::vector<Found> out;
    ASSERT_TRUE(find_files("/*", out));
    const Found* dot = find(out, ".");
    ASSERT_NE(dot, nullptr);
    EXPECT_TRUE(dot->isDir);
}

TEST(FindFiles, UnsearchableFolderLeavesTheListUnchanged) {
    TempFolder dir;
    write_file(dir.path() / "file", 1);
    const std::string patterns[] = {
        dir.str() + "/missing/*.*",
        dir.str() + "/file/*.*", // not a folder
        std::string("no_such_folder_dirvane/*.*"),
        std::string("a\0b/*.*", 7),
    };
    for (const auto& pattern : patterns) {
        std::vector<Found> out(1);
        out[0].name = "kept";
        out[0].size = 42;
        EXPECT_FALSE(find_files(pattern, out)) << pattern;
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0].name, "kept");
        EXPECT_EQ(out[0].size, 42u);
    }
}

// open_fd_of returns the descriptor this process holds open on `path`, or -1.
int open_fd_of(const fs::path& path) {
    for (const auto& link : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(link.path(), ec) == path)
            return std::stoi(link.path().filename().string());
    }
    return -1;
}

// A read that fails part-way ends the search as a read error, not as the
// end of the folder: a real one (the folder's descriptor turned into one of
// /dev/null after the first record) and one of the test seam.
TEST(FindFiles, ReadErrorPartWayIsNotTheEnd) {
    TempFolder dir;
    for (const char* name : {"a", "b", "c", "d"})
        write_file(dir.path() / name, 1);
    std::size_t visited = 0;
    bool replaced = false;
    platform::SearchResult r = platform::find_files(dir.str() + "/*", [&](const auto&) {
        if (visited++ > 0)
            return;
        const int fd = open_fd_of(dir.path());
        const int null = open("/dev/null", O_RDONLY);
        replaced = fd >= 0 && null >= 0 && dup2(null, fd) == fd;
        close(null);
    });
    ASSERT_TRUE(replaced);
    EXPECT_EQ(r.end, platform::SearchEnd::read_error);
    EXPECT_EQ(r.error, ENOTDIR);

    platform::set_directory_read_hook([](std::size_t read) { return read == 3 ? EIO : 0; });
    visited = 0;
    r = platform::find_files(dir.str() + "/*", [&](const auto&) { ++visited; });
    platform::set_directory_read_hook(nullptr);
    EXPECT_EQ(r.end, platform::SearchEnd::read_error);
    EXPECT_EQ(r.error, EIO);
    EXPECT_EQ(visited, 3u);

    visited = 0;
    r = platform::find_files(dir.str() + "/*", [&](const auto&) { ++visited; });
    EXPECT_EQ(r.end, platform::SearchEnd::complete);
    EXPECT_EQ(visited, 6u); // with "." and ".."
}

// A large folder's entries are read in batches on several threads: each
// record is still its own entry's, in the folder's order, and a read error
// part-way still visits every record read before it.
TEST(FindFiles, LargeFolderRecordsAreEachEntrysOwn) {
    TempFolder dir;
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "f" + std::to_string(i);
        if (i % 500 == 7) {
            fs::create_directory(dir.path() / name);
        } else if (i % 500 == 9) {
            fs::create_symlink("f1", dir.path() / name);
        } else {
            write_file(dir.path() / name, static_cast<std::size_t>(i % 97));
            set_mtime(dir.path() / name, 1000000000 + i, 0);
        }
    }
    std::vector<std::string> order;
    DIR* d = opendir(dir.str().c_str());
    ASSERT_NE(d, nullptr);
    while (const dirent* e = readdir(d)) {
        order.push_back(e->d_name);
    }
    closedir(d);

    std::vector<Found> out;
    ASSERT_TRUE(find_files(dir.str() + "/*", out));
    ASSERT_EQ(names_of(out), order);
    for (const Found& f : out) {
        if (f.name == "." || f.name == "..") {
            continue;
        }
        const int i = std::stoi(f.name.substr(1));
        const int target = i % 500 == 9 ? 1 : i; // a link reads as its target, f1
        SCOPED_TRACE(f.name);
        EXPECT_EQ(f.isDir, i % 500 == 7);
        if (i % 500 != 7) {
            EXPECT_EQ(f.size, static_cast<std::uint64_t>(target % 97));
            EXPECT_EQ(f.seconds, 1000000000 + target);
        }
    }

    platform::set_directory_read_hook([](std::size_t read) { return read == 2500 ? EIO : 0; });
    std::size_t visited = 0;
    const platform::SearchResult r =
        platform::find_files(dir.str() + "/*", [&](const auto&) { ++visited; });
    platform::set_directory_read_hook(nullptr);
    EXPECT_EQ(r.end, platform::SearchEnd::read_error);
    EXPECT_EQ(visited, 2500u);
}

// KeptSearches keeps searches for one test, and nothing after it.
class KeptSearches {
  public:
    explicit KeptSearches(std::uint32_t maxAgeMs, std::size_t records = 20000)
        : on(platform::keep_searches({records, maxAgeMs})) {}
    ~KeptSearches() { platform::keep_searches({0, 0}); }
    const bool on;
};

// search returns the records of a search as text, one line each, and tells
// whether they came from a kept search; `fresh` searches past the kept ones
// (a directory read hook that fails nothing).
std::string search(const std::string& pattern, bool fresh, bool* remembered = nullptr) {
    std::ostringstream text;
    if (fresh)
        platform::set_directory_read_hook([](std::size_t) { return 0; });
    const platform::SearchResult r =
        platform::find_files(pattern, [&](const platform::FoundFile& f) {
            text << f.name << (f.isDir ? " dir " : " ") << f.size << " " << f.seconds << "."
                 << f.microseconds << "\n";
        });
    platform::set_directory_read_hook(nullptr);
    if (remembered != nullptr)
        *remembered = r.remembered;
    return r.end == platform::SearchEnd::complete ? text.str() : "(not complete)";
}

// A kept search answers as a fresh one would after each change: the search
// before the change is kept (or too old, with a maximum age of 0), and the
// change shows in the fresh search.
TEST(KeepSearches, AnswersAsAFreshSearchAfterEachChange) {
    struct Paths {
        fs::path base, listed, outside;
    };
    const auto append = [](const fs::path& p) { std::ofstream(p, std::ios::app) << "more"; };
    const auto relink = [](const fs::path& link, const char* target) {
        fs::create_symlink(target, link.string() + ".new");
        fs::rename(link.string() + ".new", link);
    };
    // Moves `moved` away and makes the listed folder anew.
    const auto replace_with_another = [](const fs::path& moved, const fs::path& listed) {
        fs::rename(moved, moved.string() + ".old");
        fs::create_directories(listed);
        write_file(listed / "a.txt", 6);
    };
    struct Row {
        const char* change;
        std::uint32_t maxAgeMs;
        std::function<void(const Paths&)> apply;
        bool permissions = false;   // a change that root does not see
        const char* wildcard = "*"; // of the search after the change
    };
    const Row table[] = {
        {"append to a file", 1000, [&](const Paths& p) { append(p.listed / "a.txt"); }},
        {"truncate", 1000,
         [](const Paths& p) { ASSERT_EQ(truncate((p.listed / "a.txt").c_str(), 1), 0); }},
        {"utimensat", 1000, [](const Paths& p) { set_mtime(p.listed / "a.txt", 1200000000, 0); }},
        {"create", 1000,
         [](const Paths& p) {
             ASSERT_EQ(close(open((p.listed / "new.txt").c_str(), O_CREAT | O_WRONLY, 0644)), 0);
         }},
        {"delete", 1000, [](const Paths& p) { fs::remove(p.listed / "b.txt"); }},
        {"rename in", 1000,
         [](const Paths& p) { fs::rename(p.outside / "o.txt", p.listed / "o.txt"); }},
        {"rename out", 1000,
         [](const Paths& p) { fs::rename(p.listed / "b.txt", p.outside / "b.txt"); }},
        {"rename over", 1000,
         [](const Paths& p) { fs::rename(p.outside / "o.txt", p.listed / "a.txt"); }},
        // Only the folder's permissions change, and with them what a search
        // may read of its entries.
        {"chmod", 1000,
         [](const Paths& p) {
             fs::permissions(p.listed, fs::perms::owner_read | fs::perms::owner_write);
         },
         true, "a.txt"}, // a record that is not read again
        {"a file created in a subfolder", 1000,
         [](const Paths& p) { write_file(p.listed / "sub" / "inner", 1); }},
        {"the target of a link retargeted elsewhere", 1000,
         [&](const Paths& p) { relink(p.outside / "current", "big.txt"); }},
        {"a file with two names written through the other", 1000,
         [&](const Paths& p) { append(p.outside / "c2"); }},
        {"the folder renamed away and replaced", 1000,
         [&](const Paths& p) { replace_with_another(p.listed, p.listed); }, false, "a.txt"},
        {"its parent renamed away and replaced", 1000,
         [&](const Paths& p) { replace_with_another(p.listed.parent_path(), p.listed); }, false,
         "a.txt"},
        {"a write through a shared mapping", 0,
         [](const Paths& p) {
             const int fd = open((p.listed / "a.txt").c_str(), O_RDWR);
             ASSERT_GE(fd, 0);
             void* map = mmap(nullptr, 5, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
             close(fd);
             ASSERT_NE(map, MAP_FAILED);
             static_cast<char*>(map)[0] = 'y';
             munmap(map, 5);
         }},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.change);
        if (row.permissions && geteuid() == 0) {
            std::printf("(%s: not seen by root, left out)\n", row.change);
            continue;
        }
        TempFolder base;
        const Paths p{base.path(), base.path() / "parent" / "listed", base.path() / "outside"};
        fs::create_directories(p.listed / "sub");
        fs::create_directories(p.outside);
        write_file(p.listed / "a.txt", 5);
        write_file(p.listed / "b.txt", 3);
        write_file(p.outside / "o.txt", 7);
        write_file(p.outside / "big.txt", 50);
        fs::create_symlink("o.txt", p.outside / "current");
        fs::create_symlink("../../outside/current", p.listed / "link");
        write_file(p.listed / "c.txt", 4);
        fs::create_hard_link(p.listed / "c.txt", p.outside / "c2");
        for (const char* name : {"a.txt", "b.txt", "c.txt", "sub"})
            set_mtime(p.listed / name, 1000000000, 0);

        const KeptSearches keeping(row.maxAgeMs);
        ASSERT_TRUE(keeping.on);
        const std::string pattern = p.listed.string() + "/*";
        const std::string before = search(pattern, false);
        const std::string after = p.listed.string() + "/" + row.wildcard;
        const std::string unchanged = search(after, true);
        if (row.maxAgeMs > 0) {
            // Kept, and each search applies its own wildcard to it.
            bool remembered = false;
            EXPECT_EQ(search(pattern, false, &remembered), before);
            EXPECT_TRUE(remembered);
            EXPECT_EQ(search(p.listed.string() + "/*.txt", false, &remembered),
                      search(p.listed.string() + "/*.txt", true));
            EXPECT_TRUE(remembered);
        }
        row.apply(p);
        const std::string fresh = search(after, true);
        EXPECT_NE(fresh, unchanged);
        EXPECT_EQ(search(after, false), fresh);
    }
}

// The kept records stay within their bound: a folder with more is not kept,
// and the folder searched least recently goes first.
TEST(KeepSearches, StayWithinTheirBound) {
    TempFolder base;
    const auto folder = [&](const char* name, int files) {
        fs::create_directories(base.path() / name);
        for (int i = 0; i < files; ++i)
            write_file(base.path() / name / std::to_string(i), 1);
        return (base.path() / name).string() + "/*";
    };
    // Four records each ("." and ".." with two files), and one of nine.
    const std::string one = folder("one", 2), two = folder("two", 2), three = folder("three", 2);
    const std::string large = folder("large", 7);
    const KeptSearches keeping(1000, 8);
    ASSERT_TRUE(keeping.on);
    const auto remembered = [](const std::string& pattern) {
        bool kept = false;
        search(pattern, false, &kept);
        return kept;
    };
    for (const std::string* pattern : {&one, &two, &large})
        EXPECT_FALSE(remembered(*pattern)) << *pattern;
    for (const std::string* pattern : {&two, &one})
        EXPECT_TRUE(remembered(*pattern)) << *pattern;
    EXPECT_FALSE(remembered(large));
    EXPECT_FALSE(remembered(three)); // "two" goes
    for (const std::string* pattern : {&one, &three})
        EXPECT_TRUE(remembered(*pattern)) << *pattern;
    EXPECT_FALSE(remembered(two));
}

TEST(FullPath, JoinsTheWorkingDirectory) {
    const std::string cwd = fs::current_path().string();
    const std::string longName(300, 'n');
    const std::string longAbsolute = "/" + std::string(150, 'a') + "/" + std::string(150, 'b');
    struct Row {
        std::string name;
        std::string expected;
    };
    const Row table[] = {
        {"file.txt", cwd + "/file.txt"},
        {"sub/x", cwd + "/sub/x"},
        {"../link", cwd + "/../link"}, // nothing is resolved
        {longName, cwd + "/" + longName},
        {"/etc/passwd", "/etc/passwd"},
        {"/", "/"},
        {longAbsolute, longAbsolute},
    };
    for (const auto& row : table) {
        EXPECT_EQ(platform::full_path(row.name), row.expected);
    }
}

// A working directory longer than any fixed buffer is read whole. The
// process runs on its own, since the working directory is read once.
TEST(FullPathDeathTest, LongWorkingDirectory) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            bool ok = false;
            {
                TempFolder dir;
                fs::path deep = dir.path();
                for (int i = 0; i < 6; ++i) {
                    deep /= std::string(100, static_cast<char>('a' + i));
                }
                fs::create_directories(deep);
                if (chdir(deep.c_str()) == 0) {
                    ok = platform::full_path("name") == deep.string() + "/name";
                }
                ok = chdir("/") == 0 && ok;
            }
            std::_Exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

// A process that changes its working directory between scans (a FastCGI
// child on its next request) joins each scan's names to the folder scanned.
TEST(FullPathDeathTest, EachScanJoinsItsOwnWorkingDirectory) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            bool ok = true;
            {
                TempFolder dir;
                for (const char* name : {"first", "second", "first"}) {
                    const fs::path folder = dir.path() / name;
                    fs::create_directories(folder);
                    write_file(folder / "file.txt", 1);
                    ok = ok && chdir(folder.c_str()) == 0;
                    std::vector<std::string> joined;
                    platform::find_files("*", [&](const platform::FoundFile& f) {
                        joined.push_back(platform::full_path(f.name));
                    });
                    ok = ok && std::count(joined.begin(), joined.end(),
                                          (folder / "file.txt").string()) == 1;
                }
                ok = chdir("/") == 0 && ok;
            }
            std::_Exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
