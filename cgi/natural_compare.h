// Natural order of names: the locale order of the names with every run of
// digits compared by number, then character by character. A name that ends
// in its digit run ("file10"), or in "(" digits ")" ("Photo (12)"), is a
// numbered name; its group is the text before the number (as the locale
// compares it) and its form. Names of one group order by number, then
// character by character ("007" < "07" < "7", "a001" < "a01" < "a1").
//
// The order is transitive: each name collates as one key (each digit run
// written as its count of digits and its digits, "file10" as "file0210"),
// so a group is in number order whatever other names lie among it. Names of
// different groups whose digits meet at the same place compare those digits
// by number too, not as text: "a9" < "a10x", "file1x" < "file2" < "file10",
// "v2.1" < "v10.1".
#pragma once

#include "cgi/text_map.h"
#include "platform/text.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

// SortKeyCache hands out one locale sort key per distinct text, so that the
// many names of a folder that share a text before their number ("IMG_",
// "file") are collated once; texts the locale holds equal ("File", "file")
// share one key string, so that equality is an address compare.
class SortKeyCache {
  public:
    const std::string& locale_key(std::string_view text);
    const std::string& no_case_key(std::string_view text);
    // unique_locale_key keys a text that is not expected to recur (a whole
    // name), without looking it up.
    const std::string& unique_locale_key(std::string_view text);

  private:
    std::deque<std::string> m_unique;
    std::unordered_set<std::string, TextHash, std::equal_to<>> m_keys;
    TextMap<const std::string*> m_locale;
    TextMap<std::string> m_noCase;
};

// The form of a text's digits: numbers are compared only between texts of
// one form.
enum class NumberForm : std::uint8_t {
    none,   // no digit, or text after the digit run
    plain,  // everything from the first digit to the end is digits
    parens, // text, "(", digits, ")" at the end
};

// NaturalHead sums a NaturalKey up in a few numbers, for a sort that moves
// small records: compare_heads orders most pairs from them alone.
struct NaturalHead {
    std::uint64_t head = 0;             // the locale key's head (key_head)
    std::uint64_t number = 0;           // a numbered text's number
    const void* group = nullptr;        // a numbered text's shared prefix key, if known
    NumberForm form = NumberForm::none; // the text's number form
    bool known = false;                 // the key was worked out: the fields hold
};

// NaturalKey holds what the natural comparison needs of one text, worked out
// once: where its digits start, their form and number, and (when first
// needed) the locale keys of the text before the digits and of the whole
// text as it collates (its number written out as above). It refers to `text`, which must outlive
// it, and to `cache` when given.
class NaturalKey {
  public:
    explicit NaturalKey(std::string_view text, SortKeyCache* cache = nullptr);

    std::string_view text() const { return m_text; }

    // summary works the keys out when that is cheap (the text layer keys the
    // text from its ASCII table) and sums them up; otherwise compare_heads
    // cannot order by it.
    NaturalHead summary() const;

  private:
    friend int compare_natural(const NaturalKey& a, const NaturalKey& b);

    std::string_view prefix() const { return m_text.substr(0, m_prefixLen); }
    bool prefix_matches(const NaturalKey& other) const;
    const std::string& locale_key() const { return m_key != nullptr ? *m_key : make_locale_key(); }
    // collation_text writes the text as it collates into `buffer` and
    // returns it.
    std::string_view collation_text(std::string& buffer) const;
    const std::string& make_locale_key() const;
    const std::string& prefix_key() const;

    std::string_view m_text;
    std::uint32_t m_prefixLen = 0; // bytes before the first digit
    NumberForm m_form = NumberForm::none;
    std::uint64_t m_number = 0; // the digit run as a decimal number, saturated
    // What the text layer knows of the first byte of the keys of the whole
    // text and of the text before the number: two texts of different known
    // classes order without their keys, so that a folder of ASCII names with
    // a few Japanese ones among them need not open the collator.
    platform::KeyLead m_lead = platform::KeyLead::unknown;
    platform::KeyLead m_prefixLead = platform::KeyLead::unknown;
    SortKeyCache* m_cache;
    mutable const std::string* m_key = nullptr;
    mutable const std::string* m_prefixKey = nullptr;
    // The key's head (key_head), set with the key.
    mutable std::uint64_t m_head = 0;
    // The keys of a text compared without a cache.
    mutable std::unique_ptr<std::string> m_ownKey;
    mutable std::unique_ptr<std::string> m_ownPrefixKey;
};

// compare_natural returns a negative, zero or positive value as `a` orders
// before, equal to or after `b`; zero only for equal texts. A total order.
int compare_natural(const NaturalKey& a, const NaturalKey& b);

// compare_heads returns what compare_natural returns for the keys summed up
// in `a` and `b` when their summaries decide it, else 0 (compare the keys).
inline int compare_heads(const NaturalHead& a, const NaturalHead& b) {
    if (!a.known || !b.known)
        return 0;
    if (a.form != NumberForm::none && a.form == b.form) {
        if (a.group == nullptr || b.group == nullptr)
            return 0;
        if (a.group == b.group) {
            // Equal texts before the numbers: the numbers decide.
            if (a.number != b.number)
                return a.number < b.number ? -1 : 1;
            return 0;
        }
        // Different texts before the numbers: the locale order decides.
    }
    if (a.head != b.head)
        return a.head < b.head ? -1 : 1;
    return 0;
}
int compare_natural(std::string_view a, std::string_view b);

// compare_file_names compares two paths by base name (then extension without
// regard to case), or by extension first when `byExtension` is set.
int compare_file_names(std::string_view a, std::string_view b, bool byExtension);
