// Natural order of names: digit runs compare as numbers ("file2" before
// "file10", "Photo (3)" before "Photo (12)"); everything else in the user's
// locale order.
#pragma once

#include "cgi/text_map.h"
#include "platform/text.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

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
    TextMap<std::string> m_locale;
    TextMap<std::string> m_noCase;
};

// NaturalKey holds what the natural comparison needs of one text, worked out
// once, so that a sort does not scan and collate a name on every comparison.
// It refers to `text`, which must outlive it, and to `cache` when given.
//
// The order is that of one key per text, so it is a strict weak ordering
// however names mix. A text that ends in its only digit run ("file10"), or in
// "(" digits ")" ("Photo (12)"), is keyed by the locale key of the text before
// the number with a "0" in place of the number, then its number: names with
// the same text before the number form one group in numeric order, placed
// where that text followed by a digit sorts. Every other text is keyed by
// its locale key. Equal keys fall back to the multibyte byte order.
// NaturalHead sums a NaturalKey up in a few numbers, for a sort that moves
// small records: compare_heads orders most pairs from them alone.
struct NaturalHead {
    std::uint64_t head = 0;             // the key's and tail's first eight bytes
    std::uint64_t number = 0;           // a numbered text's number
    const std::string* group = nullptr; // the shared key of a numbered text's group
    std::uint16_t form = 0;             // a numbered text's tail flags
    bool known = false;                 // the key was worked out: the fields hold
};

class NaturalKey {
  public:
    explicit NaturalKey(std::string_view text, SortKeyCache* cache = nullptr);

    std::string_view text() const { return m_text; }

    // summary works the key out when that is cheap (the text layer keys the
    // text from its ASCII table) and sums it up; otherwise, or once the key
    // is known but not shared, compare_heads cannot order by it.
    NaturalHead summary() const;

  private:
    friend int compare_natural(const NaturalKey& a, const NaturalKey& b);

    const std::string& locale_key() const { return m_key != nullptr ? *m_key : make_locale_key(); }
    const std::string& make_locale_key() const;
    // in_group_with tells whether both texts are numbered with the same text
    // before the number: then their keys are equal without working them out.
    bool in_group_with(const NaturalKey& other) const {
        return m_numbered && other.m_numbered && m_prefixLen == other.m_prefixLen &&
               m_text.substr(0, m_prefixLen) == other.m_text.substr(0, m_prefixLen);
    }

    // Behind a numbered text's locale key: a NUL byte (below every byte the
    // collator writes), whether there is text before the number, the form
    // (plain or in parentheses) and the number, saturated, big-endian.
    static constexpr std::size_t kTailSize = 11;

    std::string_view m_text;
    std::uint32_t m_prefixLen = 0; // bytes before the first digit
    bool m_numbered = false;       // keyed by text before the number and number
    std::array<char, kTailSize> m_tail{};
    SortKeyCache* m_cache;
    mutable const std::string* m_key = nullptr;
    // The first eight bytes of the key and tail, big-endian, zero-filled:
    // two texts whose numbers differ order as the whole keys do, without
    // reading the keys (which lie elsewhere in memory).
    mutable std::uint64_t m_head = 0;
    std::uint64_t m_number = 0; // a numbered text's number, as in the tail
    // What the text layer knows of the key's first byte: two texts of
    // different known classes order without their keys, so that a folder of
    // ASCII names with a few Japanese ones among them need not open the
    // collator.
    platform::KeyLead m_lead = platform::KeyLead::unknown;
    // The key of a text compared without a cache.
    mutable std::unique_ptr<std::string> m_ownKey;
};

// compare_natural returns a negative, zero or positive value as `a` orders
// before, equal to or after `b`; zero only for equal texts.
int compare_natural(const NaturalKey& a, const NaturalKey& b);

// compare_heads returns what compare_natural returns for the keys summed up
// in `a` and `b` when their summaries decide it, else 0 (compare the keys).
inline int compare_heads(const NaturalHead& a, const NaturalHead& b) {
    if (!a.known || !b.known)
        return 0;
    if (a.head != b.head)
        return a.head < b.head ? -1 : 1;
    if (a.group == nullptr || a.group != b.group)
        return 0;
    // One group: the tail flags, then the numbers, as compare_natural does.
    if (a.form != b.form)
        return a.form < b.form ? -1 : 1;
    if (a.number != b.number)
        return a.number < b.number ? -1 : 1;
    return 0;
}
int compare_natural(std::string_view a, std::string_view b);

// compare_file_names compares two paths by base name (then extension without
// regard to case), or by extension first when `byExtension` is set. The
// extensions compare by their no-case sort keys, so that the order stays a
// strict weak ordering for texts the collator cannot read.
int compare_file_names(std::string_view a, std::string_view b, bool byExtension);
