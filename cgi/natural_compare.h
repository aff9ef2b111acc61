// Natural order of names: digit runs compare as numbers ("file2" before
// "file10", "Photo (3)" before "Photo (12)"); everything else in the user's
// locale order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// NaturalKey holds what the natural comparison needs of one text, worked out
// once, so that a sort does not scan and collate a name on every comparison.
// The locale sort keys are built on first use. It refers to `text`, which must
// outlive it.
class NaturalKey {
  public:
    explicit NaturalKey(std::string_view text);

    std::string_view text() const { return m_text; }

  private:
    friend int compare_natural(const NaturalKey& a, const NaturalKey& b);

    const std::string& prefix_sort_key() const;
    const std::string& full_sort_key() const;

    std::string_view m_text;
    std::size_t m_prefixLen = 0;  // bytes before the first digit
    bool m_hasDigit = false;
    bool m_digitsToEnd = false;   // digits from the first digit to the end
    bool m_endsWithParen = false; // the text ends with ")"
    bool m_parenNumber = false;   // "(" digits ")" at the end
    std::int64_t m_number = 0;    // the digit run, saturated
    mutable std::string m_prefixKey;
    mutable std::string m_fullKey;
    mutable bool m_havePrefixKey = false;
    mutable bool m_haveFullKey = false;
};

// compare_natural returns a negative, zero or positive value as `a` orders
// before, equal to or after `b`.
int compare_natural(const NaturalKey& a, const NaturalKey& b);
int compare_natural(std::string_view a, std::string_view b);

// compare_file_names compares two paths by base name (then extension without
// regard to case), or by extension first when `byExtension` is set.
int compare_file_names(std::string_view a, std::string_view b, bool byExtension);
