// The text rules of profile files.
#include "platform/common/profile_text.h"

#include "platform/common/ascii.h"

#include <cstddef>
#include <vector>

namespace platform {

namespace {

constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";

// Line is one line of a profile file: `begin` to `end` is its text, `next`
// where the following line begins (after its "\n" or "\r\n").
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
};

std::vector<Line> split_lines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t at = 0;
    if (text.substr(0, utf8_bom.size()) == utf8_bom) {
        at = utf8_bom.size(); // belongs to no line's text
    }
    while (at < text.size()) {
        Line line;
        line.begin = at;
        const std::size_t lf = text.find('\n', at);
        if (lf == std::string_view::npos) {
            line.end = line.next = text.size();
        } else {
            line.end = lf > at && text[lf - 1] == '\r' ? lf - 1 : lf;
            line.next = lf + 1;
        }
        lines.push_back(line);
        at = line.next;
    }
    return lines;
}

// Parsed is what one line says.
struct Parsed {
    enum Kind { other, section, key } kind = other;
    std::string_view name;  // the section's or the key's name, trimmed
    std::string_view value; // the key's value, trimmed
};

Parsed parse_line(std::string_view text) {
    Parsed parsed;
    const std::string_view line = profile_trim(text);
    if (line.empty() || line.front() == ';') {
        return parsed;
    }
    if (line.front() == '[') {
        const std::size_t close = line.find(']');
        parsed.kind = Parsed::section;
        parsed.name = profile_trim(
            line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
        return parsed;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return parsed;
    }
    parsed.kind = Parsed::key;
    parsed.name = profile_trim(line.substr(0, equals));
    parsed.value = profile_trim(line.substr(equals + 1));
    return parsed;
}

// unquote removes one pair of matching quotation marks (double or single)
// around a value, as the Windows profile services do.
std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool has_line_break(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// valid_names tells whether a write could store `section` and `key` so that
// a read finds them again (and no other line comes into being).
bool valid_names(std::string_view section, std::string_view key) {
    const std::string_view s = profile_trim(section);
    const std::string_view k = profile_trim(key);
    return !s.empty() && !has_line_break(section) && s.find(']') == std::string_view::npos &&
           !k.empty() && !has_line_break(key) && k.find('=') == std::string_view::npos &&
           k.front() != '[' && k.front() != ';';
}

} // namespace

std::string_view profile_trim(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\v\f";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return std::string_view();
    }
    const std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::optional<std::string> profile_text_value(std::string_view text, std::string_view section,
                                              std::string_view key) {
    const std::string_view wantedSection = profile_trim(section);
    const std::string_view wantedKey = profile_trim(key);
    bool inSection = false;
    for (const Line& line : split_lines(text)) {
        const Parsed parsed = parse_line(text.substr(line.begin, line.end - line.begin));
        if (parsed.kind == Parsed::section) {
            inSection = ascii::equal_no_case(parsed.name, wantedSection);
        } else if (parsed.kind == Parsed::key && inSection &&
                   ascii::equal_no_case(parsed.name, wantedKey)) {
            return std::string(unquote(parsed.value));
        }
    }
    return std::nullopt;
}

bool valid_profile_entry(std::string_view section, std::string_view key, std::string_view value) {
    return valid_names(section, key) && !has_line_break(value);
}

std::string profile_text_with(std::string_view text, std::string_view section, std::string_view key,
                              std::string_view value) {
    const std::string_view view = text;
    const std::string_view wantedSection = profile_trim(section);
    const std::string_view wantedKey = profile_trim(key);

    // Find the key in a section of that name, or else the place after the
    // last non-empty line of the first such section.
    std::optional<Line> keyLine;
    std::string_view storedKey;
    std::optional<std::size_t> sectionEnd; // where a new key line goes
    bool sectionEndHasBreak = true;
    bool inSection = false;
    bool firstSection = false;
    const std::vector<Line> lines = split_lines(view);
    for (const Line& line : lines) {
        const std::string_view lineText = view.substr(line.begin, line.end - line.begin);
        const Parsed parsed = parse_line(lineText);
        if (parsed.kind == Parsed::section) {
            inSection = ascii::equal_no_case(parsed.name, wantedSection);
            firstSection = inSection && !sectionEnd;
        } else if (parsed.kind == Parsed::key && inSection &&
                   ascii::equal_no_case(parsed.name, wantedKey)) {
            keyLine = line;
            storedKey = parsed.name;
            break;
        }
        if (firstSection && !profile_trim(lineText).empty()) {
            sectionEnd = line.next;
            sectionEndHasBreak = line.next > line.end;
        }
    }

    std::string updated;
    if (keyLine) {
        updated.append(view.substr(0, keyLine->begin));
        updated.append(storedKey).append("=").append(value).append("\r\n");
        updated.append(view.substr(keyLine->next));
    } else if (sectionEnd) {
        updated.append(view.substr(0, *sectionEnd));
        if (!sectionEndHasBreak) {
            updated.append("\r\n");
        }
        updated.append(wantedKey).append("=").append(value).append("\r\n");
        updated.append(view.substr(*sectionEnd));
    } else {
        updated = text;
        if (!updated.empty() && updated.back() != '\n') {
            updated.append("\r\n");
        }
        if (!lines.empty() &&
            !profile_trim(view.substr(lines.back().begin, lines.back().end - lines.back().begin))
                 .empty()) {
            updated.append("\r\n"); // a blank line before the new section
        }
        updated.append("[").append(wantedSection).append("]\r\n");
        updated.append(wantedKey).append("=").append(value).append("\r\n");
    }
    return updated;
}

} // namespace platform
