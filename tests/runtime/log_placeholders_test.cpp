// Placeholders of log path templates: each one's text, the process id's
// widths and the room each finds at the end of the 259 characters.
#include "runtime/log_placeholders.h"

#include "log_path_input.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST(LogPath, Placeholders) {
    TempCwd cwd;
    struct Case {
        const char* pathTemplate;
        const char* expected; // relative to the working directory
    };
    const Case cases[] = {
        {"%Y", "2026"},
        {"%y", "26"},
        {"%m", "03"},
        {"%d", "04"},
        {"%H", "05"},
        {"%M", "06"},
        {"%S", "07"},
        {"%D", "20260304"},
        {"%T", "050607"},
        {"%O.log", "20260304/050607.log"},
        {"%o", "260304_050607"},
        {"%X", "20041105"},
        {"%x", "041105"},
        {"%t", "090712"},
        {"%E.log", "20041105/090712.log"},
        {"%e", "041105_090712"},
        {"%P", "000004d2"},
        {"%p", "1234"},
        {"%N", "0007"},
        {"a%?b", "a/b"},
        {"100%%", "100%"},
        {"%q", "q"},
        {"end%", "end%"},
        {"dv%p_%N.log", "dv1234_0007.log"},
        // The folder placeholders away from position 0: a dot after a separator.
        {"a\\%#b", "a/.b"},
        {"a%#b", "ab"},
        {"a\\%@b", "a/.b"},
        {"a%@b", "ab"},
        {"a\\%$b", "a/.b"},
        {"a\\%&b", "a/.b"},
        {"a\\%*b", "a/.b"},
        {"a%*b", "ab"},
        {"a%?%#b", "a/.b"},
        {"a\\%#%#b", "a/.b"}, // the dot itself is no separator
        // A double-byte character whose trail byte is a backslash is no separator.
        {"\x83\\%#b", "\x83\\b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(expand(c.pathTemplate), cwd.path(c.expected)) << c.pathTemplate;
    }
    EXPECT_TRUE(fs::is_directory(cwd.path("20260304")));
    EXPECT_TRUE(fs::is_directory(cwd.path("a")));
}

TEST(LogPath, ProcessIdWidths) {
    TempCwd cwd;
    const struct {
        std::uint32_t pid;
        const char* expected;
    } cases[] = {{42, "0042 0000002a"}, {123456, "123456 0001e240"}};
    for (const auto& c : cases) {
        vvLogPathInput input = fixed_input("%p %P");
        input.processId = c.pid;
        vvLogPathState state;
        EXPECT_EQ(vv_expand_log_path(input, state), cwd.path(c.expected));
    }
}

// prefix_to returns the working directory, a separator and filler up to
// `length` characters: an absolute template whose next placeholder starts at
// output position `length`.
std::string prefix_to(const TempCwd& cwd, std::size_t length) {
    std::string prefix = cwd.dir() + platform::path_separator();
    prefix.resize(length, 'a');
    return prefix;
}

TEST(LogPath, PlaceholderRoomAtTheEnd) {
    TempCwd cwd;
    ASSERT_LT(cwd.dir().size(), 200u);
    const struct {
        const char* placeholder;
        std::size_t highest;
        const char* text;
    } cases[] = {
        {"%Y", 255, "2026"},
        {"%y", 257, "26"},
        {"%m", 257, "03"},
        {"%D", 251, "20260304"},
        {"%T", 253, "050607"},
        {"%O", 244, "20260304/050607"},
        {"%o", 246, "260304_050607"},
        {"%X", 251, "20041105"},
        {"%x", 253, "041105"},
        {"%t", 253, "090712"},
        {"%E", 244, "20041105/090712"},
        {"%e", 246, "041105_090712"},
        {"%P", 251, "000004d2"},
        {"%p", 247, "1234"}, // room for any process id
        {"%N", 255, "0007"},
    };
    for (const auto& c : cases) {
        const std::string fits = prefix_to(cwd, c.highest);
        EXPECT_EQ(expand(fits + c.placeholder), native_path(fits + c.text)) << c.placeholder;
        EXPECT_EQ(expand(prefix_to(cwd, c.highest + 1) + c.placeholder), "") << c.placeholder;
    }
    // A double-byte character needs two places of the 259.
    EXPECT_EQ(expand(prefix_to(cwd, 257) + "\x82\xa0"), prefix_to(cwd, 257) + "\x82\xa0");
    EXPECT_EQ(expand(prefix_to(cwd, 258) + "\x82\xa0"), "");
}

TEST(LogPath, LongTemplateIsCutTo259) {
    TempCwd cwd;
    const std::string longTemplate = prefix_to(cwd, 300);
    EXPECT_EQ(expand(longTemplate), longTemplate.substr(0, 259));
    // The placeholders after the cut are dropped, not failed.
    EXPECT_EQ(expand(prefix_to(cwd, 259) + "%D"), prefix_to(cwd, 259));
    // A relative template that makes the absolute path longer than the
    // system allows fails (260 on Windows); a deep folder is no failure
    // where the system takes longer paths.
    const std::string deep = native_path(cwd.path(std::string(259, 'b')));
    EXPECT_EQ(expand(std::string(259, 'b')),
              deep.size() <= platform::max_path_length() ? deep : "");
    EXPECT_GT(deep.size(), 260u);
}

} // namespace
