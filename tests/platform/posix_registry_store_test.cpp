// The registry store of a POSIX build is one file: the bytes that reach it,
// a missing file, hand-written and malformed files, read-only files and
// links, two writing processes at once, a crash before the rename. What
// every build promises is registry_store_test.cpp's.
#include "platform/process.h"
#include "platform/process_run.h"
#include "platform/registry.h"
#include "platform/registry_store_fixture.h"

#include "support/file_text.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* writer_variable = "DIRVANE_TEST_REGISTRY_WRITER";
constexpr const char* shared_key = "SOFTWARE\\Test\\Shared";

// A copy of this test program started with DIRVANE_TEST_REGISTRY_WRITER set
// to "<file>|<prefix>|<count>" is a writer, not a test run: it writes values
// <prefix>0 ... into the shared key and exits with the number of failures.
const int writer_mode = [] {
    const char* job = std::getenv(writer_variable);
    if (job == nullptr) {
        return 0;
    }
    std::string text(job);
    const std::size_t a = text.find('|');
    const std::size_t b = text.find('|', a + 1);
    platform::RegistryStore store(text.substr(0, a));
    const std::string prefix = text.substr(a + 1, b - a - 1);
    const int count = std::atoi(text.c_str() + b + 1);
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        failures += store.write_text(shared_key, prefix + std::to_string(i), prefix) ? 0 : 1;
    }
    std::_Exit(failures);
}();

const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";

class PosixRegistryStoreTest : public ::testing::Test {
  protected:
    TempCwd cwd;
    fs::path folder = cwd.dir();
    fs::path file = folder / "registry.reg";
};

struct TextCase {
    std::string value;
    std::string line; // the value's line in the file
};

TEST_F(PosixRegistryStoreTest, TextRoundTripsAndEscaping) {
    // The escaping itself is the format's (registry_document_test.cpp); here
    // the bytes reach the file and come back.
    const TextCase cases[] = {
        {"\x83\x5c.txt", "\"v\"=\"\x83\\\\.txt\""}, // Shift_JIS trail byte 0x5C
        {std::string("a\r\nb\t\x7f") + '\0' + "z", "\"v\"=\"a\\x0d\\x0ab\\x09\\x7f\\x00z\""},
    };
    platform::RegistryStore store(file.string());
    ASSERT_TRUE(store.create_key("SOFTWARE\\T"));
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.line);
        const auto written = store.write_text("SOFTWARE\\T", "v", c.value);
        ASSERT_TRUE(written) << written.failure().message();
        EXPECT_EQ(store.read_text("SOFTWARE\\T", "v").value_or(""), c.value);
        EXPECT_EQ(read_all(file),
                  header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n" + c.line + "\r\n\r\n");
    }
    // Any bytes in a value name, too.
    const std::string name = "\"odd\\ \x95\x5c name\n";
    ASSERT_TRUE(store.write_number("SOFTWARE\\T", name, 5));
    EXPECT_EQ(store.read_number("SOFTWARE\\T", name).value_or(0), 5u);
}

TEST_F(PosixRegistryStoreTest, NumbersInTheFileAndTheFirstSpellingOfAName) {
    platform::RegistryStore store(file.string());
    ASSERT_TRUE(store.create_key("SOFTWARE\\AnHTTPd\\default\\Progs"));
    ASSERT_TRUE(store.write_number("SOFTWARE\\AnHTTPd\\default\\Progs", "Count", 0xffffffffu));
    EXPECT_NE(read_all(file).find("\"Count\"=dword:ffffffff\r\n"), std::string::npos);
    ASSERT_TRUE(store.write_text("SOFTWARE\\AnHTTPd\\default\\Progs", "count", "7"));
    EXPECT_EQ(store.value_names("SOFTWARE\\AnHTTPd\\default\\Progs").value_or({}),
              std::vector<std::string>{"Count"}); // replaced in place, first spelling kept
}

TEST_F(PosixRegistryStoreTest, MissingFileFailsWithoutCreating) {
    platform::RegistryStore store(file.string());
    const auto read = store.read_number("SOFTWARE\\X", "n");
    ASSERT_FALSE(read);
    EXPECT_EQ(read.failure().message(), file.string() + ": no such file");
    EXPECT_EQ(read.failure().kind, platform::RegistryFault::missing);
    EXPECT_FALSE(store.read_text("SOFTWARE\\X", "t"));
    EXPECT_FALSE(store.write_text("SOFTWARE\\X", "t", "v"));
    EXPECT_FALSE(store.write_number("SOFTWARE\\X", "n", 1));
    const auto deleted = store.delete_value("SOFTWARE\\X", "n");
    ASSERT_FALSE(deleted);
    EXPECT_EQ(deleted.failure().kind, platform::RegistryFault::missing);
    EXPECT_FALSE(fs::exists(file)) << "a write must not create the file";

    ASSERT_TRUE(store.create_key("SOFTWARE\\X"));
    const std::string before = read_all(file);
    const auto written = store.write_text("SOFTWARE\\Y", "t", "v");
    ASSERT_FALSE(written) << "a missing key is not created";
    EXPECT_EQ(written.failure().message(),
              file.string() + ": no key HKEY_LOCAL_MACHINE\\SOFTWARE\\Y");
    EXPECT_EQ(read_all(file), before);
}

TEST_F(PosixRegistryStoreTest, CreateKeyMakesFolderAndKeepsExistingValues) {
    platform::RegistryStore store((folder / "a" / "b" / "registry.reg").string());
    const auto created = store.create_key("SOFTWARE\\K");
    ASSERT_TRUE(created) << created.failure().message();
    ASSERT_TRUE(store.write_number("SOFTWARE\\K", "n", 9));
    ASSERT_TRUE(store.create_key("SOFTWARE\\K"));
    EXPECT_EQ(store.read_number("SOFTWARE\\K", "n").value_or(0), 9u);
    EXPECT_FALSE(store.create_key("")) << "the root itself is no key to create";
}

// The format reads hand-written files (registry_document_test.cpp); a key
// present only through a key below it takes a value as the registry's does.
TEST_F(PosixRegistryStoreTest, WritesIntoHandWrittenFiles) {
    write_all(file, "Windows Registry Editor Version 5.00\n"
                    "; a comment\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Progs\\Attrs]\n"
                    "\".cgi\"=dword:0000000A\n");
    platform::RegistryStore store(file.string());
    EXPECT_EQ(store.read_number("SOFTWARE\\AnHTTPd\\default\\Progs\\Attrs", ".cgi").value_or(0),
              10u);
    EXPECT_TRUE(store.key_exists("SOFTWARE\\AnHTTPd\\default\\Progs"));
    EXPECT_FALSE(store.key_exists("SOFTWARE\\AnHTTPd\\default\\Prog"));
    ASSERT_TRUE(store.write_number("SOFTWARE\\AnHTTPd\\default\\Progs", "Count", 2));
    EXPECT_EQ(store.read_number("SOFTWARE\\AnHTTPd\\default\\Progs", "Count").value_or(0), 2u);
    EXPECT_EQ(store.read_number("SOFTWARE\\AnHTTPd\\default\\Progs\\Attrs", ".cgi").value_or(0),
              10u);
}

struct MalformedCase {
    std::string text;
    std::string error; // what follows "<file>:"
};

TEST_F(PosixRegistryStoreTest, MalformedFileGivesLineAndIsNeverOverwritten) {
    const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\K]\r\n";
    // Every malformed line is named (registry_document_test.cpp); here the
    // store refuses each operation with that reason and leaves the file.
    const MalformedCase cases[] = {
        {"REGEDIT4\r\n", "1: expected \"Windows Registry Editor Version 5.00\" as the first line"},
        {header + "[HKEY_CURRENT_USER\\Software]\r\n", "3: expected a key header"},
        {header + key + "\"a\"=dword:123456789\r\n", "4: expected 1 to 8 hex digits"},
    };
    for (const MalformedCase& c : cases) {
        SCOPED_TRACE(c.text);
        write_all(file, c.text);
        platform::RegistryStore store(file.string());
        const auto read = store.read_text("SOFTWARE\\K", "a");
        ASSERT_FALSE(read);
        EXPECT_EQ(read.failure().message().rfind(file.string() + ":" + c.error, 0), 0u)
            << read.failure().message();
        EXPECT_EQ(read.failure().kind, platform::RegistryFault::unreadable);
        const auto written = store.write_text("SOFTWARE\\K", "a", "new");
        ASSERT_FALSE(written);
        EXPECT_EQ(written.failure().message().rfind(file.string() + ":" + c.error, 0), 0u);
        EXPECT_EQ(written.failure().kind, platform::RegistryFault::unreadable);
        EXPECT_FALSE(store.create_key("SOFTWARE\\Other"));
        EXPECT_FALSE(store.delete_value("SOFTWARE\\K", "a"));
        EXPECT_EQ(read_all(file), c.text) << "a malformed file is left as it is";
    }
}

// A read-only store file is left alone with the reason; a link is written
// through to its target and stays a link.
TEST_F(PosixRegistryStoreTest, ReadOnlyFileIsKeptAndALinkIsWrittenThrough) {
    const std::string text = header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\K]\r\n\"a\"=\"old\"\r\n\r\n";
    write_all(file, text);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    platform::RegistryStore store(file.string());
    const auto written = store.write_text("SOFTWARE\\K", "a", "new");
    ASSERT_FALSE(written);
    EXPECT_EQ(written.failure().message(), "cannot write " + file.string() + ": Permission denied");
    EXPECT_EQ(written.failure().kind, platform::RegistryFault::unwritable);
    EXPECT_FALSE(store.delete_value("SOFTWARE\\K", "a"));
    EXPECT_EQ(read_all(file), text);

    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
    fs::create_symlink(file.filename(), folder / "link.reg");
    platform::RegistryStore linked((folder / "link.reg").string());
    const auto through = linked.write_text("SOFTWARE\\K", "a", "new");
    ASSERT_TRUE(through) << through.failure().message();
    EXPECT_TRUE(fs::is_symlink(folder / "link.reg"));
    EXPECT_EQ(store.read_text("SOFTWARE\\K", "a").value_or(""), "new");
}

TEST_F(PosixRegistryStoreTest, TwoProcessesWritingAtOnceKeepEveryValue) {
    platform::RegistryStore store(file.string());
    ASSERT_TRUE(store.create_key(shared_key));
    const std::string self = platform::current_program_path();
    ASSERT_FALSE(self.empty());
    constexpr int count = 40;
    std::vector<platform::ProcessId> writers;
    for (const char* prefix : {"a", "b", "c"}) {
        const auto writer =
            platform::start_process({self}, {std::string(writer_variable) + "=" + file.string() +
                                             "|" + prefix + "|" + std::to_string(count)});
        ASSERT_TRUE(writer) << writer.failure().message();
        writers.push_back(writer.value());
    }
    for (platform::ProcessId writer : writers) {
        EXPECT_EQ(platform::wait_process(writer), 0) << "a writer had failed writes";
    }
    const std::vector<std::string> names = store.value_names(shared_key).value_or({});
    EXPECT_EQ(names.size(), 3u * count) << "values of one writer were lost";
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(store.read_text(shared_key, "a" + std::to_string(i)).value_or(""), "a");
        EXPECT_EQ(store.read_text(shared_key, "c" + std::to_string(i)).value_or(""), "c");
    }
}

TEST_F(PosixRegistryStoreTest, CrashBeforeRenameLeavesOldFile) {
    platform::RegistryStore store(file.string());
    ASSERT_TRUE(store.create_key("SOFTWARE\\K"));
    ASSERT_TRUE(store.write_text("SOFTWARE\\K", "v", "old"));
    const std::string before = read_all(file);
    EXPECT_EXIT(
        {
            platform::set_registry_replace_hook([](const std::string&) { std::_Exit(7); });
            (void)store.write_text("SOFTWARE\\K", "v", "a much longer new value that never lands");
        },
        ::testing::ExitedWithCode(7), "");
    EXPECT_EQ(read_all(file), before);
    EXPECT_EQ(store.read_text("SOFTWARE\\K", "v").value_or(""), "old");
    EXPECT_TRUE(fs::exists(file.string() + ".tmp")) << "the crash happened after the write";
    // The next write is not disturbed by the leftover temporary file.
    ASSERT_TRUE(store.write_text("SOFTWARE\\K", "v", "new"));
    EXPECT_EQ(store.read_text("SOFTWARE\\K", "v").value_or(""), "new");
}

} // namespace

std::string fresh_store_path() {
    // Each store in a folder of its own below one of this process, all
    // removed when the tests end.
    static const struct Folders {
        fs::path top = fs::path(::testing::TempDir()) /
                       ("dirvane-stores-" + std::to_string(platform::current_process_id()));
        Folders() { fs::remove_all(top); }
        ~Folders() {
            std::error_code ignored;
            fs::remove_all(top, ignored);
        }
    } folders;
    static int count = 0;
    const fs::path folder = folders.top / std::to_string(++count);
    fs::create_directories(folder);
    return (folder / "registry.reg").string();
}
