// Placeholders of log path templates, each with the highest position at
// which it still fits.
#include "runtime/log_placeholders.h"

#include "platform/text.h"
#include "runtime/log_path_text.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

// A special folder's path is bounded by the system's path limit (260
// characters on Windows).
constexpr std::size_t folder_path_limit = 260;

std::string format_fields(const char* format, unsigned a, unsigned b, unsigned c) {
    char text[16];
    const int length = std::snprintf(text, sizeof text, format, a, b, c);
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
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
        return vv_four_digits(input.openCounter);
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

} // namespace

bool vv_expand_placeholders(std::string_view text, const vvLogPathInput& input,
                            const vvLogPathServices& services, vvLogPathState& state,
                            std::string& out) {
    bool afterSeparator = false; // the last output character is a separator
    std::size_t pos = 0;
    while (pos < text.size() && out.size() < vv_expanded_limit) {
        const std::size_t i = out.size();
        if (platform::char_length(text, pos) == 2) {
            if (i + 2 > vv_expanded_limit) {
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
            afterSeparator = vv_is_path_separator(c);
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
            if (i > field->highest || i + produced.size() > vv_expanded_limit) {
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
                afterSeparator = !path.empty() && vv_last_separator_end(path) == path.size();
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
        afterSeparator = vv_is_path_separator(p);
    }
    return true;
}
