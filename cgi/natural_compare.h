// Natural order of names: digit runs compare as numbers ("file2" before
// "file10", "Photo (3)" before "Photo (12)"); everything else in the user's
// locale order.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

// SortKeyCache hands out one locale sort key per distinct text, so that the
// many names of a folder that share a text before their number ("IMG_",
// "file") are collated once, and equal texts compare by address.
class SortKeyCache {
  public:
    const std::string& locale_key(std::string_view text);
    const std::string& no_case_key(std::string_view text);
    // unique_locale_key keys a text that is not expected to recur (a whole
    // name), without looking it up.
    const std::string& unique_locale_key(std::string_view text);

  private:
    std::deque<std::string> m_unique;
    std::unordered_map<std::string, std::string> m_locale;
    std::unordered_map<std::string, std::string> m_noCase;
};

// NaturalKey holds what the natural comparison needs of one text, worked out
// once, so that a sort does not scan and collate a name on every comparison.
// It refers to `text`, which must outlive it, and to `cache` when given.
class NaturalKey {
  public:
    explicit NaturalKey(std::string_view text, SortKeyCache* cache = nullptr);

    std::string_view text() const { return m_text; }

  private:
    friend int compare_natural(const NaturalKey& a, const NaturalKey& b);

    bool same_prefix(const NaturalKey& other) const;
    const std::string& full_sort_key() const;

    std::string_view m_text;
    std::uint32_t m_prefixLen = 0; // bytes before the first digit
    bool m_hasDigit = false;
    bool m_digitsToEnd = false;   // digits from the first digit to the end
    bool m_endsWithParen = false; // the text ends with ")"
    bool m_parenNumber = false;   // "(" digits ")" at the end
    std::int64_t m_number = 0;    // the digit run, saturated
    SortKeyCache* m_cache;
    const std::string* m_prefixKey = nullptr; // from the cache, when there is one
    mutable const std::string* m_fullKey = nullptr;
    // The keys of a text compared without a cache.
    mutable std::unique_ptr<std::string> m_ownPrefixKey;
    mutable std::unique_ptr<std::string> m_ownFullKey;
};

// compare_natural returns a negative, zero or positive value as `a` orders
// before, equal to or after `b`.
int compare_natural(const NaturalKey& a, const NaturalKey& b);
int compare_natural(std::string_view a, std::string_view b);

// compare_file_names compares two paths by base name (then extension without
// regard to case), or by extension first when `byExtension` is set.
int compare_file_names(std::string_view a, std::string_view b, bool byExtension);
