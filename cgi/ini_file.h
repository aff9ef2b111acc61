// IniFile: the settings store, read from INI text files.
//
// Sections are ordered byte-wise and case-sensitively; keys inside a section
// are ordered by the store's key order. Files loaded one after another merge
// into one store: a key replaces the value of the same key, others are added.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

// KeyOrder selects how keys compare inside a section.
enum class KeyOrder {
    exact,   // byte by byte, case-sensitive
    no_case, // character by character, letters folded (compare_mb_no_case)
};

// KeyLess orders keys by a store's KeyOrder.
struct KeyLess {
    using is_transparent = void;
    KeyOrder order = KeyOrder::exact;
    bool operator()(std::string_view a, std::string_view b) const;
};

// IniSection holds the entries of one section in key order.
struct IniSection {
    explicit IniSection(KeyOrder order = KeyOrder::exact) : entries(KeyLess{order}) {}
    std::map<std::string, std::string, KeyLess> entries;
};

class IniFile {
  public:
    // Builds an empty store and loads `path` into it (a missing file leaves it
    // empty).
    explicit IniFile(std::string_view path, KeyOrder order = KeyOrder::exact);
    virtual ~IniFile() = default;

    // load merges the file `path` into the store; an empty path reads the
    // remembered file again. A file that cannot be opened is not an error:
    // returns true with nothing merged. Returns false after a read error,
    // keeping what was read before it.
    bool load(std::string_view path);

    // keep_file_text keeps the text of the file `path` between loads, for a
    // process that answers request after request: the first load of that
    // path after recheck_kept_file reads it again only when the file changed
    // (another file, size or modification time), else it merges the kept
    // text, as do the loads after it. An empty path keeps nothing.
    static void keep_file_text(std::string_view path);

    // recheck_kept_file makes the next load of the kept file look whether it
    // changed; the loads after it take the text it found, as one request's
    // loads all see one version of the file.
    static void recheck_kept_file();

    // load_text merges INI text held in memory, as load does with a file.
    void load_text(std::string_view text);

    // get_string returns the value of `key` in `section`, with every blank,
    // backslash, "n" sequence turned into a line feed; "" when missing.
    std::string get_string(std::string_view section, std::string_view key) const;

    // get_number returns the raw value read by the unsigned number rules, or
    // `def` when the key is missing or its value is empty.
    std::uint32_t get_number(std::string_view section, std::string_view key,
                             std::uint32_t def) const;

    // get_section returns a section for enumeration; a missing section is the
    // store's empty default section.
    const IniSection& get_section(std::string_view section) const;

    // dump returns the store's debug text:
    // "config.index,[icon]{(default:x.gif),(height:16)},[index]{(debug:1)}".
    std::string dump() const;

    const std::string& path() const { return m_path; }
    bool good() const { return m_good; }
    KeyOrder key_order() const { return m_order; }
    const std::map<std::string, IniSection, std::less<>>& sections() const { return m_sections; }

  private:
    // section_at returns the section `name`, created empty when it is new.
    IniSection& section_at(std::string_view name);

    KeyOrder m_order;
    std::string m_path;
    std::map<std::string, IniSection, std::less<>> m_sections;
    IniSection m_defaultSection;
    bool m_good = true;
};

// dump_flag returns the debug text of a flag: "true" or "false".
std::string dump_flag(bool flag);

// dump_names returns the debug text of a set of names in set order:
// "(a,b,c)"; an empty set gives "()".
template <class Names> std::string dump_names(const Names& names) {
    std::string text = "(";
    bool first = true;
    for (const auto& name : names) {
        if (!first) {
            text += ',';
        }
        first = false;
        text += name;
    }
    text += ')';
    return text;
}
