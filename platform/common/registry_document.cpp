// The registry export format: the text of a store file read into keys and
// values, and written back.
#include "platform/common/registry_document.h"

#include "platform/common/ascii.h"

namespace platform::reg {

namespace {

constexpr std::string_view header_line = "Windows Registry Editor Version 5.00";
constexpr std::string_view root_key = "HKEY_LOCAL_MACHINE";
constexpr std::string_view dword_prefix = "dword:";

bool is_control(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

} // namespace

bool valid_key_path(std::string_view key) {
    if (key.empty()) {
        return false;
    }
    for (char c : key) {
        if (is_control(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

std::string full_key_name(std::string_view key) {
    std::string name(root_key);
    name += '\\';
    name += key;
    return name;
}

Key* find_key(Document& doc, std::string_view key) {
    for (Key& k : doc.keys) {
        if (ascii::equal_no_case(k.path, key)) {
            return &k;
        }
    }
    return nullptr;
}

bool key_present(const Document& doc, std::string_view key) {
    for (const Key& k : doc.keys) {
        if (ascii::equal_no_case(k.path, key)) {
            return true;
        }
        if (k.path.size() > key.size() && k.path[key.size()] == '\\' &&
            ascii::equal_no_case(std::string_view(k.path).substr(0, key.size()), key)) {
            return true;
        }
    }
    return false;
}

Value* find_value(Key& key, std::string_view name) {
    for (Value& v : key.values) {
        if (ascii::equal_no_case(v.name, name)) {
            return &v;
        }
    }
    return nullptr;
}

const Value* find_value(const Key* key, std::string_view name) {
    return key == nullptr ? nullptr : find_value(const_cast<Key&>(*key), name);
}

namespace {

void append_quoted(std::string& out, std::string_view bytes) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (is_control(b)) {
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

} // namespace

std::string format_document(const Document& doc) {
    static const char hex[] = "0123456789abcdef";
    std::string out(header_line);
    out += "\r\n\r\n";
    for (const Key& key : doc.keys) {
        out += '[';
        out += full_key_name(key.path);
        out += "]\r\n";
        for (const Value& v : key.values) {
            append_quoted(out, v.name);
            out += '=';
            if (v.isNumber) {
                out += dword_prefix;
                for (int shift = 28; shift >= 0; shift -= 4) {
                    out += hex[(v.number >> shift) & 15];
                }
            } else {
                append_quoted(out, v.text);
            }
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = ascii::lower(c);
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// read_quoted takes the quoted text at `pos` of `line` (pos on the opening
// quote) into `out` and moves `pos` past the closing quote.
bool read_quoted(std::string_view line, std::size_t& pos, std::string& out, std::string& why) {
    out.clear();
    ++pos;
    while (pos < line.size()) {
        const char c = line[pos++];
        if (c == '"') {
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos < line.size() && (line[pos] == '\\' || line[pos] == '"')) {
            out += line[pos++];
            continue;
        }
        if (pos + 2 < line.size() && line[pos] == 'x' && hex_digit(line[pos + 1]) >= 0 &&
            hex_digit(line[pos + 2]) >= 0) {
            out += static_cast<char>(hex_digit(line[pos + 1]) * 16 + hex_digit(line[pos + 2]));
            pos += 3;
            continue;
        }
        why = "expected \\\\, \\\" or \\x and two hex digits after a backslash";
        return false;
    }
    why = "expected a closing double quote";
    return false;
}

bool parse_value_line(std::string_view line, Value& value, std::string& why) {
    std::size_t pos = 0;
    if (!read_quoted(line, pos, value.name, why)) {
        return false;
    }
    if (pos >= line.size() || line[pos] != '=') {
        why = "expected = after the value name";
        return false;
    }
    ++pos;
    if (pos < line.size() && line[pos] == '"') {
        value.isNumber = false;
        if (!read_quoted(line, pos, value.text, why)) {
            return false;
        }
    } else if (line.substr(pos, dword_prefix.size()) == dword_prefix) {
        pos += dword_prefix.size();
        const std::size_t start = pos;
        std::uint32_t number = 0;
        while (pos < line.size() && pos - start < 8 && hex_digit(line[pos]) >= 0) {
            number = number * 16 + static_cast<std::uint32_t>(hex_digit(line[pos]));
            ++pos;
        }
        if (pos == start || (pos < line.size() && hex_digit(line[pos]) >= 0)) {
            why = "expected 1 to 8 hex digits after dword:";
            return false;
        }
        value.isNumber = true;
        value.number = number;
    } else {
        why = "expected a value \"text\" or dword:XXXXXXXX (no other types are kept)";
        return false;
    }
    if (pos != line.size()) {
        why = "expected the end of the line after the value";
        return false;
    }
    return true;
}

bool parse_header_line(std::string_view line, std::string& key, std::string& why) {
    why = "expected a key header [HKEY_LOCAL_MACHINE\\...]";
    if (line.size() < 2 || line.back() != ']') {
        return false;
    }
    const std::string_view inner = line.substr(1, line.size() - 2);
    if (inner.size() <= root_key.size() + 1 || inner[root_key.size()] != '\\' ||
        !ascii::equal_no_case(inner.substr(0, root_key.size()), root_key)) {
        return false;
    }
    key.assign(inner.substr(root_key.size() + 1));
    return valid_key_path(key);
}

} // namespace

Outcome<Document> parse_document(std::string_view text, const std::string& path) {
    Document doc;
    if (text.empty()) {
        return doc; // an empty file holds no keys
    }
    std::size_t lineNo = 0;
    std::size_t start = 0;
    Key* current = nullptr;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        std::string why;
        if (lineNo == 1) {
            if (line != header_line) {
                why = "expected \"" + std::string(header_line) + "\" as the first line";
            }
        } else if (line.find_first_not_of(" \t") == std::string_view::npos || line[0] == ';') {
            continue;
        } else if (line[0] == '[') {
            std::string key;
            if (parse_header_line(line, key, why)) {
                current = find_key(doc, key);
                if (current == nullptr) {
                    doc.keys.push_back(Key{key, {}});
                    current = &doc.keys.back();
                }
                why.clear();
            }
        } else if (line[0] == '"') {
            Value value;
            if (current == nullptr) {
                why = "expected a key header [HKEY_LOCAL_MACHINE\\...] before the first value";
            } else if (parse_value_line(line, value, why)) {
                if (Value* old = find_value(*current, value.name)) {
                    *old = std::move(value); // the last of repeated names counts
                } else {
                    current->values.push_back(std::move(value));
                }
            }
        } else {
            why = "expected a key header [...] or a value line \"Name\"=...";
        }
        if (!why.empty()) {
            return Failure{"", path + ":" + std::to_string(lineNo), why};
        }
    }
    return doc;
}

} // namespace platform::reg
