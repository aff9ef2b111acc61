// IniFile: reads INI text into sections of key/value texts and answers the
// typed lookups of the settings store.
#include "cgi/ini_file.h"

#include "cgi/mbstring.h"
#include "platform/common/ascii.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "runtime/number.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view trim_set = " \t\r\n";

std::string_view trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(trim_set);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(trim_set);
    return text.substr(first, last - first + 1);
}

// section_name strips every leading and every trailing bracket of a header.
// The end is found by walking the characters, so the trail byte of a
// double-byte character (0x5B and 0x5D are valid trail bytes of Shift_JIS)
// is never taken for a bracket.
std::string_view section_name(std::string_view line) {
    constexpr std::string_view brackets = "[]";
    const std::size_t first = line.find_first_not_of(brackets);
    if (first == std::string_view::npos) {
        return {};
    }
    std::size_t end = first;
    for (std::size_t pos = first; pos < line.size();) {
        std::size_t length = platform::char_length(line, pos);
        length = length == 0 ? 1 : length;
        if (length > 1 || brackets.find(line[pos]) == std::string_view::npos) {
            end = pos + length;
        }
        pos += length;
    }
    return line.substr(first, end - first);
}

// expand_line_breaks turns every blank, backslash, "n" into a line feed. The
// line feed it puts in can never be part of a further match, so one pass from
// the left gives the same text as searching again from the start after each
// replacement, without the quadratic cost.
std::string expand_line_breaks(std::string_view value) {
    std::string text;
    text.reserve(value.size());
    std::size_t pos = 0;
    while (pos < value.size()) {
        if (value.compare(pos, 3, " \\n") == 0) {
            text += '\n';
            pos += 3;
        } else {
            text += value[pos];
            ++pos;
        }
    }
    return text;
}

// file_name_part returns the text after the last path separator of `path`
// (walked by characters, so a trail byte is never taken for one); a path
// without a separator is returned whole less a leading drive letter and colon.
std::string_view file_name_part(std::string_view path) {
    const char separator = platform::path_separator();
    std::size_t start = std::string_view::npos;
    for (std::size_t pos = 0; pos < path.size();) {
        const std::size_t length = platform::char_length(path, pos);
        if (length <= 1 && path[pos] == separator) {
            start = pos + 1;
        }
        pos += length == 0 ? 1 : length;
    }
    if (start != std::string_view::npos) {
        return path.substr(start);
    }
    const auto letter = static_cast<unsigned char>(path.size() >= 2 ? path[0] : 0);
    if (platform::ascii::is_letter(letter) && path[1] == ':') {
        return path.substr(2);
    }
    return path;
}

// KeptFile is the text of the one file whose text is kept between loads,
// with the stamp of the version it was read from.
struct KeptFile {
    std::string path;
    platform::FileStamp stamp;
    std::string text;
    bool read = false;
    // The stamp was looked at since the last recheck_kept_file: the text
    // holds without another look until the next one.
    bool checked = false;
};

KeptFile& kept_file() {
    static KeptFile kept;
    return kept;
}

// read_settings_text reads the file `path` into `text`, or takes the kept
// text when `path` is the kept file and it has not changed since.
bool read_settings_text(const std::string& path, std::string& text) {
    KeptFile& kept = kept_file();
    if (kept.read && kept.checked && path == kept.path) {
        text = kept.text;
        return true;
    }
    platform::FileStamp before;
    if (kept.path.empty() || path != kept.path || !platform::file_stamp(path, before)) {
        return platform::read_file_contents(path, text);
    }
    if (kept.read && before == kept.stamp) {
        kept.checked = true;
        text = kept.text;
        return true;
    }
    kept.read = false;
    if (!platform::read_file_contents(path, text)) {
        return false;
    }
    // A file that changed while it was read is read again next time.
    platform::FileStamp after;
    if (platform::file_stamp(path, after) && after == before) {
        kept.stamp = after;
        kept.text = text;
        kept.read = true;
        kept.checked = true;
    }
    return true;
}

} // namespace

void IniFile::keep_file_text(std::string_view path) {
    KeptFile& kept = kept_file();
    kept = KeptFile();
    kept.path = std::string(path);
}

void IniFile::recheck_kept_file() {
    kept_file().checked = false;
}

bool KeyLess::operator()(std::string_view a, std::string_view b) const {
    if (order == KeyOrder::no_case) {
        return compare_mb_no_case(a, b) < 0;
    }
    // char_traits<char> compares as unsigned char: byte order, shorter first.
    return a.compare(b) < 0;
}

IniFile::IniFile(std::string_view path, KeyOrder order) : m_order(order), m_defaultSection(order) {
    load(path);
}

bool IniFile::load(std::string_view path) {
    m_good = true;
    if (!path.empty()) {
        m_path = std::string(path);
    }
    if (m_path.empty()) {
        return true;
    }
    // Through the file layer: it reads only a regular file of at most 1 MiB
    // and never waits for a writer, so a named pipe, a device or an
    // oversized file counts as a file that cannot be read.
    std::string text;
    if (!read_settings_text(m_path, text)) {
        // A missing file means defaults; one that is there but cannot be
        // read merges nothing either.
        m_good = platform::path_kind(m_path) == platform::PathKind::missing;
        return m_good;
    }
    load_text(text);
    return m_good;
}

void IniFile::load_text(std::string_view text) {
    IniSection* current = nullptr; // no section carries over from an earlier load
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            const std::string_view name = section_name(line);
            current = name.empty() ? nullptr : &section_at(name);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = trim(line.substr(0, equals));
        const std::string_view value = trim(line.substr(equals + 1));
        // Replaces only the value: in the no-case store the key keeps the
        // spelling it was first written with.
        const auto found = current->entries.find(key);
        if (found != current->entries.end()) {
            found->second = std::string(value);
        } else {
            current->entries.emplace(std::string(key), std::string(value));
        }
    }
}

IniSection& IniFile::section_at(std::string_view name) {
    const auto found = m_sections.find(name);
    if (found != m_sections.end()) {
        return found->second;
    }
    return m_sections.emplace(std::string(name), IniSection(m_order)).first->second;
}

std::string IniFile::get_string(std::string_view section, std::string_view key) const {
    const IniSection& entries = get_section(section);
    const auto found = entries.entries.find(key);
    if (found == entries.entries.end()) {
        return {};
    }
    return expand_line_breaks(found->second);
}

std::uint32_t IniFile::get_number(std::string_view section, std::string_view key,
                                  std::uint32_t def) const {
    const IniSection& entries = get_section(section);
    const auto found = entries.entries.find(key);
    if (found == entries.entries.end() || found->second.empty()) {
        return def;
    }
    return parse_unsigned(found->second);
}

const IniSection& IniFile::get_section(std::string_view section) const {
    const auto found = m_sections.find(section);
    return found == m_sections.end() ? m_defaultSection : found->second;
}

std::string IniFile::dump() const {
    std::string text(file_name_part(m_path));
    for (const auto& [name, section] : m_sections) {
        text += ",[";
        text += name;
        text += "]{";
        bool first = true;
        for (const auto& [key, value] : section.entries) {
            if (!first) {
                text += ',';
            }
            first = false;
            text += '(';
            text += key;
            text += ':';
            text += value;
            text += ')';
        }
        text += '}';
    }
    return text;
}

std::string dump_flag(bool flag) {
    return flag ? "true" : "false";
}
