// Win32 only: the command line of a program to start. Windows hands a child
// one line of text, which the child's run-time library splits into its
// arguments again; these helpers write the line so that every argument
// arrives as it was given.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::win32 {

// append_argument appends `arg` to `line` as the run-time libraries read
// it. An argument without double quotes needs quotes only around its blanks,
// so they close right after its last space or tab: then no backslash ever
// stands before a double quote, and the run-time libraries that know
// double-byte characters and those that do not read the same bytes (the
// trail byte of a Shift_JIS character may be 0x5C, a backslash). An
// argument with double quotes is quoted whole: a double quote is written \"
// and the backslashes just before a double quote (or before the closing
// quote) are doubled. (A double quote right after a double-byte character
// whose trail byte is 0x5C is read differently by the two kinds; no path
// holds a double quote.)
inline void append_argument(std::string& line, std::string_view arg) {
    if (arg.find('"') == std::string_view::npos) {
        const std::size_t lastBlank = arg.find_last_of(" \t\n\v");
        if (arg.empty()) {
            line += "\"\"";
        } else if (lastBlank == std::string_view::npos) {
            line.append(arg);
        } else {
            line += '"';
            line.append(arg.substr(0, lastBlank + 1));
            line += '"';
            line.append(arg.substr(lastBlank + 1));
        }
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            line.append(2 * backslashes + 1, '\\');
        } else {
            line.append(backslashes, '\\');
        }
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, '\\');
    line += '"';
}

// build_command_line returns the command line for `argv`; false when an
// argument cannot be passed. The program name is read by other rules (no
// backslash escapes, quotes only to hold spaces), so it is quoted whole and
// may hold no double quote; no argument may hold a NUL byte.
inline bool build_command_line(const std::vector<std::string>& argv, std::string& line) {
    line.clear();
    if (argv.empty() || argv[0].empty() ||
        argv[0].find_first_of(std::string_view("\"\0", 2)) != std::string::npos) {
        return false;
    }
    line += '"';
    line += argv[0];
    line += '"';
    for (std::size_t i = 1; i < argv.size(); ++i) {
        if (argv[i].find('\0') != std::string::npos) {
            return false;
        }
        line += ' ';
        append_argument(line, argv[i]);
    }
    return true;
}

} // namespace platform::win32
