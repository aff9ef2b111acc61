// Log paths: template expansion, special folders, numbered directories and
// numbered backups of log files.
#include "runtime/log_path.h"

#include "platform/file.h"
#include "platform/folders.h"
#include "platform/fs.h"
#include "platform/io.h"
#include "platform/text.h"
#include "runtime/log.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>

namespace {

// The expanded path holds at most 259 characters; the absolute one is
// bounded by the system's path limit (260 characters on Windows).
constexpr std::size_t expanded_limit = 259;
constexpr std::size_t folder_path_limit = 260;

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

// has_drive: `text` starts with a drive, a letter and a colon.
bool has_drive(std::string_view text) {
    return text.size() >= 2 && text[1] == ':' &&
           ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c;
}

bool equal_no_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool all_digits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (!is_digit(c)) {
            return false;
        }
    }
    return true;
}

// parse_leading_unsigned reads the number at the start of `text` with the
// base chosen by the text ("0x" hexadecimal, leading "0" octal, else
// decimal) up to the first character that is no digit of the base; 0 when
// there is none, 4294967295 on overflow.
std::uint32_t parse_leading_unsigned(std::string_view text) {
    unsigned base = 10;
    std::size_t pos = 0;
    auto digit_value = [](char c) -> unsigned {
        if (c >= '0' && c <= '9') {
            return static_cast<unsigned>(c - '0');
        }
        const char lower = ascii_lower(c);
        if (lower >= 'a' && lower <= 'f') {
            return static_cast<unsigned>(lower - 'a' + 10);
        }
        return 99;
    };
    if (text.size() >= 3 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
        digit_value(text[2]) < 16) {
        base = 16;
        pos = 2;
    } else if (!text.empty() && text[0] == '0') {
        base = 8;
    }
    std::uint64_t value = 0;
    for (; pos < text.size(); ++pos) {
        const unsigned digit = digit_value(text[pos]);
        if (digit >= base) {
            break;
        }
        value = value * base + digit;
        if (value > UINT32_MAX) {
            return UINT32_MAX;
        }
    }
    return static_cast<std::uint32_t>(value);
}

int clip_to_int(std::uint32_t value) {
    return value > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

std::string format_fields(const char* format, unsigned a, unsigned b, unsigned c) {
    char text[16];
    const int length = std::snprintf(text, sizeof text, format, a, b, c);
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

std::string four_digits(unsigned n) {
    return format_fields("%04u", n, 0, 0);
}

// last_separator_end returns the position after the last single-byte
// separator of `text` (0 when there is none); a trail byte that equals a
// backslash is no separator.
std::size_t last_separator_end(std::string_view text) {
    std::size_t end = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = platform::char_length(text, pos);
        if (length == 1 && is_separator(text[pos])) {
            end = pos + 1;
        }
        pos += length;
    }
    return end;
}

// PathMarker holds the three lines of a vv.path file.
struct PathMarker {
    std::string directory;
    std::string level;
    std::string sizeLimit;
};

// parse_path_marker splits vv.path's text into its first three lines, each
// up to a line feed, carriage returns dropped.
PathMarker parse_path_marker(std::string_view text) {
    PathMarker marker;
    std::size_t pos = 0;
    for (std::string* line : {&marker.directory, &marker.level, &marker.sizeLimit}) {
        if (pos >= text.size()) {
            break;
        }
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        line->assign(text.substr(pos, end - pos));
        std::erase(*line, '\r');
        pos = end + 1;
    }
    return marker;
}

// read_marker_text reads vv.path as the settings files are read: a regular
// file of bounded size only, so that a named pipe or a device in the folder
// holds nothing up.
bool read_marker_text(std::string_view path, std::string& text) {
    return !path.empty() && platform::read_file_contents(path, text);
}

// redirect_directory gives line 1 of vv.path joined to the template's file
// name, or "" when line 1 is not used.
std::string redirect_directory(std::string line, std::string_view pathTemplate,
                               const vvLogPathServices& services) {
    // The folder's own "%" are doubled, so that the expansion writes its path
    // as it is instead of reading them as placeholders.
    std::size_t folderLength = 0;
    std::string escapedFolder;
    if (line.size() >= 2 && line[0] == '%' && line[1] == '%') {
        const std::size_t close = line.find("%%", 3);
        if (close != std::string::npos) {
            const std::string folder =
                services.specialFolder(std::string_view(line).substr(2, close - 2));
            folderLength = folder.size();
            for (const char c : folder) {
                escapedFolder += c;
                if (c == '%') {
                    escapedFolder += '%';
                }
            }
            line = line.substr(close + 2);
        }
    }
    const std::string_view fileName = pathTemplate.substr(last_separator_end(pathTemplate));
    if (fileName.size() + folderLength + line.size() > 257) {
        return std::string();
    }
    // Joined as a path-append does: one separator between the two parts.
    std::string joined = escapedFolder + line;
    if (!joined.empty() && last_separator_end(joined) != joined.size()) {
        joined += '\\';
    }
    joined += fileName;
    return joined;
}

// apply_path_marker reads vv.path and returns the text to expand;
// `redirected` tells whether its line 1 gave the directory.
std::string apply_path_marker(const vvLogPathInput& input, const std::string* markerText,
                              const vvLogPathServices& services, bool anchored,
                              vvLogPathState& state, bool& redirected) {
    redirected = false;
    std::string text(input.pathTemplate);
    if (markerText == nullptr) {
        return text;
    }
    const PathMarker marker = parse_path_marker(*markerText);
    if (!marker.directory.empty() && !(anchored && last_separator_end(input.pathTemplate) == 0)) {
        std::string joined = redirect_directory(marker.directory, input.pathTemplate, services);
        if (!joined.empty()) {
            text = std::move(joined);
            redirected = true;
        }
    }
    if (!marker.level.empty()) {
        const int level = vv_level_from_text(marker.level);
        if (level >= 0 && level <= 7) {
            state.threshold = level;
        }
    }
    if (!marker.sizeLimit.empty() && is_digit(marker.sizeLimit[0]) && state.sizeLimit != 0) {
        const std::uint32_t limit = parse_leading_unsigned(marker.sizeLimit);
        state.sizeLimit = limit < 10 ? 10 : limit;
    }
    return text;
}

// Placeholder texts and the highest output position at which each still
// fits into the 259 characters (the room for %p is that of any process id).
struct FieldPlaceholder {
    char name;
    std::size_t highest;
};
constexpr std::array<FieldPlaceholder, 19> field_placeholders{{
    {'Y', 255}, {'y', 257}, {'m', 257}, {'d', 257}, {'H', 257}, {'M', 257}, {'S', 257},
    {'D', 251}, {'T', 253}, {'O', 244}, {'o', 246}, {'X', 251}, {'x', 253}, {'t', 253},
    {'E', 244}, {'e', 246}, {'P', 251}, {'p', 247}, {'N', 255},
}};

std::string field_text(char name, const vvLogPathInput& input) {
    const vvLogTime& t = input.openTime;
    const auto year = static_cast<unsigned>(t.year) % 10000;
    const auto year2 = static_cast<unsigned>(t.year) % 100;
    const auto month = static_cast<unsigned>(t.month);
    const auto day = static_cast<unsigned>(t.day);
    const auto hour = static_cast<unsigned>(t.hour);
    const auto minute = static_cast<unsigned>(t.minute);
    const auto second = static_cast<unsigned>(t.second);
    auto stamp = [&](std::size_t from, std::size_t count) {
        return std::string(input.stamp.substr(std::min(from, input.stamp.size()), count));
    };
    switch (name) {
    case 'Y':
        return format_fields("%04u", year, 0, 0);
    case 'y':
        return format_fields("%02u", year2, 0, 0);
    case 'm':
        return format_fields("%02u", month, 0, 0);
    case 'd':
        return format_fields("%02u", day, 0, 0);
    case 'H':
        return format_fields("%02u", hour, 0, 0);
    case 'M':
        return format_fields("%02u", minute, 0, 0);
    case 'S':
        return format_fields("%02u", second, 0, 0);
    case 'D':
        return format_fields("%04u%02u%02u", year, month, day);
    case 'T':
        return format_fields("%02u%02u%02u", hour, minute, second);
    case 'O':
        return format_fields("%04u%02u%02u", year, month, day) + "\\" +
               format_fields("%02u%02u%02u", hour, minute, second);
    case 'o':
        return format_fields("%02u%02u%02u", year2, month, day) + "_" +
               format_fields("%02u%02u%02u", hour, minute, second);
    case 'X':
        return stamp(0, 8);
    case 'x':
        return stamp(2, 6);
    case 't':
        return stamp(8, 6);
    case 'E':
        return stamp(0, 8) + "\\" + stamp(8, 6);
    case 'e':
        return stamp(2, 6) + "_" + stamp(8, 6);
    case 'P':
        return format_fields("%08x", input.processId, 0, 0);
    case 'p': {
        char text[16];
        const int length =
            std::snprintf(text, sizeof text, "%04d", static_cast<int>(input.processId));
        return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
    }
    case 'N':
        return four_digits(input.openCounter);
    default:
        return std::string();
    }
}

// folder_placeholder returns the special folder that %c writes at position 0
// ("" for none of %@ %# %$ %&).
const char* folder_placeholder(char c) {
    switch (c) {
    case '@':
        return "APPDATA";
    case '#':
        return "DESKTOP";
    case '$':
        return "PERSONAL";
    case '&':
        return "LOCAL_APPDATA";
    default:
        return nullptr;
    }
}

// expand_placeholders copies `text` with its placeholders replaced; false
// when a placeholder or a double-byte character finds no room.
bool expand_placeholders(std::string_view text, const vvLogPathInput& input,
                         const vvLogPathServices& services, vvLogPathState& state,
                         std::string& out) {
    bool afterSeparator = false; // the last output character is a separator
    std::size_t pos = 0;
    while (pos < text.size() && out.size() < expanded_limit) {
        const std::size_t i = out.size();
        if (platform::char_length(text, pos) == 2) {
            if (i + 2 > expanded_limit) {
                return false;
            }
            out.append(text.substr(pos, 2));
            pos += 2;
            afterSeparator = false;
            continue;
        }
        const char c = text[pos];
        if (c != '%' || pos + 1 == text.size()) {
            out += c;
            afterSeparator = is_separator(c);
            ++pos;
            continue;
        }
        const char p = text[pos + 1];
        if (platform::char_length(text, pos + 1) == 2) {
            // A double-byte character after % stands for itself.
            ++pos;
            continue;
        }
        pos += 2;

        const auto field = std::find_if(field_placeholders.begin(), field_placeholders.end(),
                                        [p](const FieldPlaceholder& f) { return f.name == p; });
        if (field != field_placeholders.end()) {
            const std::string produced = field_text(p, input);
            if (i > field->highest || i + produced.size() > expanded_limit) {
                return false;
            }
            out += produced;
            afterSeparator = false;
            continue;
        }
        const char* folder = folder_placeholder(p);
        if (folder != nullptr || p == '*') {
            if (i == 0) {
                const std::string path = folder != nullptr
                                             ? services.specialFolder(folder)
                                             : services.numberedDirectory(state.numberedDirectory);
                if (path.size() >= folder_path_limit) {
                    return false;
                }
                out += path;
                afterSeparator = !path.empty() && last_separator_end(path) == path.size();
            } else if (afterSeparator) {
                out += '.';
                afterSeparator = false;
            }
            continue;
        }
        if (p == '?') {
            out += '\\';
            afterSeparator = true;
            continue;
        }
        out += p;
        afterSeparator = is_separator(p);
    }
    return true;
}

} // namespace

vvLogTime vv_local_time_now() {
    std::int64_t seconds = 0;
    std::int32_t microseconds = 0;
    platform::current_time(seconds, microseconds);
    platform::LocalTime local;
    vvLogTime time;
    if (!platform::LocalZone().convert(seconds, local)) {
        return time;
    }
    time.year = static_cast<int>(local.year % 1000000);
    time.month = local.month;
    time.day = local.day;
    time.hour = local.hour;
    time.minute = local.minute;
    time.second = local.second;
    time.millisecond = microseconds / 1000;
    return time;
}

namespace {

// put_digits writes `value` (0 or more) as `width` digits, zero-filled.
char* put_digits(char* out, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

bool fits(int value, int limit) {
    return value >= 0 && value < limit;
}

} // namespace

std::string vv_log_stamp(const vvLogTime& time) {
    // Written by hand: every request makes a stamp, and the printf machinery
    // is a large piece of code that nothing else of a request touches.
    const int year = time.year % 10000;
    if (fits(year, 10000) && fits(time.month, 100) && fits(time.day, 100) && fits(time.hour, 100) &&
        fits(time.minute, 100) && fits(time.second, 100) && fits(time.millisecond, 1000)) {
        char digits[17];
        char* p = put_digits(digits, year, 4);
        p = put_digits(p, time.month, 2);
        p = put_digits(p, time.day, 2);
        p = put_digits(p, time.hour, 2);
        p = put_digits(p, time.minute, 2);
        p = put_digits(p, time.second, 2);
        put_digits(p, time.millisecond, 3);
        return std::string(digits, sizeof digits);
    }
    char text[40];
    const int length =
        std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d%03d", time.year % 10000,
                      time.month, time.day, time.hour, time.minute, time.second, time.millisecond);
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

int vv_level_from_text(std::string_view text) {
    if (all_digits(text)) {
        return clip_to_int(parse_leading_unsigned(text));
    }
    struct LevelName {
        const char* name;
        int level;
    };
    static constexpr LevelName names[] = {
        {"EMERGENCY", 0}, {"EMERG", 0},  {"ALERT", 1},     {"lvALERT", 1}, {"CRITICAL", 2},
        {"CRIT", 2},      {"lvCRIT", 2}, {"ERROR", 3},     {"ERR", 3},     {"lvERR", 3},
        {"WARNING", 4},   {"WARN", 4},   {"lvWARNING", 4}, {"NOTICE", 5},  {"lvNOTICE", 5},
        {"INFO", 6},      {"lvINFO", 6}, {"DEBUG", 7},     {"lvDEBUG", 7},
    };
    for (const LevelName& entry : names) {
        if (equal_no_case(text, entry.name)) {
            return entry.level;
        }
    }
    return -1;
}

int vv_special_folder_number(std::string_view name) {
    if (all_digits(name)) {
        return clip_to_int(parse_leading_unsigned(name));
    }
    struct FolderName {
        const char* name;
        int number;
    };
    static constexpr FolderName names[] = {
        {"APPDATA", 26},
        {"LOCAL_APPDATA", 28},
        {"PERSONAL", 5},
        {"MYDOCUMENTS", 5},
        {"MYMUSIC", 13},
        {"MYPICTURES", 39},
        {"MYVIDEO", 14},
        {"DESKTOP", 0},
        {"DESKTOPDIRECTORY", 16},
        {"STARTMENU", 11},
        {"PROGRAMS", 2},
        {"STARTUP", 7},
        {"COMMON_APPDATA", 35},
        {"COMMON_STARTMENU", 22},
        {"COMMON_PROGRAMS", 23},
        {"COMMON_STARTUP", 24},
        {"COMMON_DESKTOPDIRECTORY", 25},
        {"WINDOWS", 36},
        {"SYSTEM", 37},
        {"PROGRAM_FILES", 38},
        {"PROGRAM_FILES_COMMON", 43},
    };
    for (const FolderName& entry : names) {
        if (equal_no_case(name, entry.name)) {
            return entry.number;
        }
    }
    return -1;
}

std::string vv_special_folder_path(std::string_view name) {
    const int number = vv_special_folder_number(name);
    return number < 0 ? std::string() : platform::special_folder_path(number);
}

std::string vv_numbered_directory(std::string& cache) {
    if (cache.empty()) {
        for (unsigned n = 0; n < 10000; ++n) {
            const std::string path = platform::absolute_path(four_digits(n));
            if (path.empty()) {
                break;
            }
            if (platform::path_kind(path) != platform::PathKind::missing) {
                continue;
            }
            if (platform::create_directories(path)) {
                cache = path;
            }
            break;
        }
    }
    if (!cache.empty() && platform::path_kind(cache) == platform::PathKind::directory) {
        return cache;
    }
    return std::string();
}

std::string vv_rotate_log_file(std::string_view path) {
    const std::string base(path);
    auto backup = [&base](unsigned n) { return base + "." + four_digits(n); };
    for (unsigned n = 0; n < 10000; ++n) {
        const std::string candidate = backup(n);
        if (platform::path_kind(candidate) == platform::PathKind::missing) {
            platform::delete_file(backup((n + 1) % 10000));
            return platform::move_file(base, candidate) ? candidate : std::string();
        }
    }
    platform::delete_file(backup(0));
    platform::delete_file(backup(1));
    const std::string first = backup(0);
    return platform::move_file(base, first) ? first : std::string();
}

vvLogPathServices vv_system_log_path_services() {
    vvLogPathServices services;
    services.specialFolder = vv_special_folder_path;
    services.numberedDirectory = vv_numbered_directory;
    return services;
}

std::string vv_expand_log_text(const vvLogPathInput& input, const std::string* markerText,
                               const vvLogPathServices& services, vvLogPathState& state) {
    const std::string_view pathTemplate = input.pathTemplate;
    if (pathTemplate.empty()) {
        return std::string();
    }
    const char first = pathTemplate[0];
    const char second = pathTemplate.size() > 1 ? pathTemplate[1] : '\0';
    const bool driveRoot = has_drive(pathTemplate);
    const bool anchored = is_separator(first) || driveRoot ||
                          (first == '%' && second != '\0' &&
                           std::string_view("#@$&?*").find(second) != std::string_view::npos);

    bool redirected = false;
    const std::string text =
        apply_path_marker(input, markerText, services, anchored, state, redirected);
    // A relative location resolves inside the listed folder, whoever wrote
    // it: it gets the folder's confinement.
    state.inside =
        (input.templateFromFolder || redirected || (input.relativeInside && !anchored)) &&
        !input.folderLogs;
    state.insidePath.clear();
    state.refusal = nullptr;
    std::string expanded;
    if (!expand_placeholders(text, input, services, state, expanded)) {
        return std::string();
    }
    return expanded;
}

std::string vv_log_absolute_path(std::string expanded) {
    if (expanded.empty()) {
        return std::string();
    }
    // Backslashes and slashes both separate directories; the file system
    // takes its own separator.
    const char separator = platform::path_separator();
    // Where paths have no drives (the separator is "/"), a text that starts
    // with one ("D:\logs", "D:x") names no file: it would otherwise become a
    // folder "D:" in the working directory.
    if (separator == '/' && has_drive(expanded)) {
        return std::string();
    }
    for (std::size_t pos = 0; pos < expanded.size();) {
        const std::size_t length = platform::char_length(expanded, pos);
        if (length == 1 && is_separator(expanded[pos])) {
            expanded[pos] = separator;
        }
        pos += length;
    }
    std::string path = platform::absolute_path(expanded);
    if (path.empty() || path.size() > platform::max_path_length()) {
        return std::string();
    }
    return path;
}

std::string vv_log_inside_path(std::string_view expanded, const char*& why) {
    why = nullptr;
    if (expanded.empty()) {
        why = "is empty";
        return std::string();
    }
    if (is_separator(expanded[0])) {
        why = "is absolute";
        return std::string();
    }
    const char separator = platform::path_separator();
    std::string out;
    std::string component;
    bool single = true; // the component holds single-byte characters only
    // finish checks and appends one component; false when it leads out.
    auto finish = [&](bool last) {
        if (single && !component.empty() && component != "." &&
            component.find_first_not_of(". ") == std::string::npos) {
            why = "leads out of the folder (\"..\")";
            return false;
        }
        if (last && (component.empty() || component == ".")) {
            why = "names no file";
            return false;
        }
        if (!component.empty() && component != ".") {
            if (!out.empty()) {
                out += separator;
            }
            out += component;
        }
        component.clear();
        single = true;
        return true;
    };
    for (std::size_t pos = 0; pos < expanded.size();) {
        const std::size_t length = platform::char_length(expanded, pos);
        if (length == 1 && expanded[pos] == ':') {
            why = "has a drive or a colon";
            return std::string();
        }
        if (length == 1 && is_separator(expanded[pos])) {
            if (!finish(false)) {
                return std::string();
            }
        } else {
            component.append(expanded.substr(pos, length));
            single = single && length == 1;
        }
        pos += length;
    }
    if (!finish(true)) {
        return std::string();
    }
    return out;
}

namespace {

// absolute_or_failure makes `expanded` absolute, saying in `state` why it
// has no path.
std::string absolute_or_failure(const std::string& expanded, vvLogPathState& state) {
    std::string path = vv_log_absolute_path(expanded);
    if (path.empty()) {
        state.failedPath = expanded;
        const std::string joined = platform::absolute_path(expanded);
        state.failure = joined.size() > platform::max_path_length()
                            ? "the path is longer than the system allows"
                            : "the path cannot be made absolute";
    }
    return path;
}

} // namespace

std::string vv_expand_log_path(const vvLogPathInput& input, vvLogPathState& state) {
    state.failure.clear();
    state.failedPath.clear();
    std::string markerText;
    const bool haveMarker = read_marker_text(input.markerPath, markerText);
    const std::string expanded = vv_expand_log_text(input, haveMarker ? &markerText : nullptr,
                                                    vv_system_log_path_services(), state);
    if (expanded.empty()) {
        state.failedPath.assign(input.pathTemplate);
        state.failure = "the template cannot be expanded";
        return std::string();
    }
    if (state.inside) {
        // A location from the listed folder: checked by its text, opened
        // later component by component; nothing is created here.
        std::string relative = vv_log_inside_path(expanded, state.refusal);
        if (relative.empty()) {
            state.failedPath = expanded;
            state.failure = state.refusal;
            return std::string();
        }
        std::string path = absolute_or_failure(relative, state);
        if (!path.empty()) {
            state.insidePath = std::move(relative);
        }
        return path;
    }
    const std::string path = absolute_or_failure(expanded, state);
    if (path.empty()) {
        return std::string();
    }
    const std::size_t last = platform::find_last_char(path, platform::path_separator());
    const std::string directory = path.substr(0, last + 1);
    if (platform::path_kind(directory) != platform::PathKind::directory &&
        !platform::create_directories(directory)) {
        state.failedPath = path;
        state.failure = "its folder cannot be created: " + platform::last_error_text();
        return std::string();
    }
    return path;
}
