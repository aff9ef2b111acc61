// fuzz_ini: any bytes as INI text. Every stored key and value is trimmed and
// holds no line feed, no key holds "=", no section name is empty or keeps an
// outer bracket (a bracket that is the trail byte of a double-byte character
// is part of the name), and the store written back as INI text reads back to
// the same store, unless a name ends in a lead byte that the closing bracket
// would complete.
#include "cgi/ini_file.h"
#include "fuzz/fuzz_check.h"
#include "platform/text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    return text.empty() || (blanks.find(text.front()) == std::string_view::npos &&
                            blanks.find(text.back()) == std::string_view::npos);
}

// last_char_start is where the last character of `text` begins, walked by
// characters as the parser walks a header.
std::size_t last_char_start(std::string_view text) {
    std::size_t last = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        last = pos;
        const std::size_t length = platform::char_length(text, pos);
        pos += length == 0 ? 1 : length;
    }
    return last;
}

// keeps_outer_bracket: the name ends in a bracket of its own, not in the
// trail byte of a double-byte character.
bool keeps_outer_bracket(std::string_view name) {
    return name.front() == '[' || (name.back() == ']' && last_char_start(name) == name.size() - 1);
}

// joins_closing_bracket: the name ends in a lead byte that the closing
// bracket of a written header would complete to a double-byte character, so
// such a header cannot be read back to the same name.
bool joins_closing_bracket(const std::string& name) {
    const std::string header = name + ']';
    return last_char_start(header) != name.size();
}

std::string write_back(const IniFile& ini) {
    std::string text;
    for (const auto& [name, section] : ini.sections()) {
        text += '[' + name + "]\n";
        for (const auto& [key, value] : section.entries) {
            text += key + '=' + value + '\n';
        }
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const KeyOrder order = (data[0] & 1) != 0 ? KeyOrder::no_case : KeyOrder::exact;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    IniFile ini("", order);
    ini.load_text(text);
    for (const auto& [name, section] : ini.sections()) {
        FUZZ_CHECK(!name.empty());
        FUZZ_CHECK(!keeps_outer_bracket(name));
        FUZZ_CHECK(name.find('\n') == std::string::npos);
        for (const auto& [key, value] : section.entries) {
            FUZZ_CHECK(key.find('\n') == std::string::npos &&
                       value.find('\n') == std::string::npos);
            FUZZ_CHECK(key.find('=') == std::string::npos);
            FUZZ_CHECK(trimmed(key) && trimmed(value));
            FUZZ_CHECK(key.empty() ||
                       (key.front() != ';' && key.front() != '#' && key.front() != '['));
            // Lookups by the stored key find the stored value.
            FUZZ_CHECK(&ini.get_section(name) == &section);
            FUZZ_CHECK(ini.get_string(name, key).size() <= value.size());
            (void)ini.get_number(name, key, 7);
        }
    }
    (void)ini.dump();
    for (const auto& [name, section] : ini.sections()) {
        if (joins_closing_bracket(name))
            return 0;
    }
    IniFile again("", order);
    again.load_text(write_back(ini));
    FUZZ_CHECK(again.sections().size() == ini.sections().size());
    auto it = again.sections().begin();
    for (const auto& [name, section] : ini.sections()) {
        FUZZ_CHECK(it->first == name);
        FUZZ_CHECK(it->second.entries.size() == section.entries.size());
        auto entry = it->second.entries.begin();
        for (const auto& [key, value] : section.entries) {
            FUZZ_CHECK(entry->first == key && entry->second == value);
            ++entry;
        }
        ++it;
    }
    FUZZ_CHECK(again.dump() == ini.dump());
    return 0;
}
