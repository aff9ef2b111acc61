// fuzz_ini: any bytes as INI text. Every stored key and value is trimmed and
// holds no line feed, no key holds "=", no section name is empty or keeps an
// outer bracket, and the store written back as INI text reads back to the
// same store.
#include "cgi/ini_file.h"
#include "fuzz/fuzz_check.h"

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
        FUZZ_CHECK(name.front() != '[' && name.back() != ']');
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
