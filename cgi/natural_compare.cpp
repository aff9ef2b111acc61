// Natural order of names.
#include "cgi/natural_compare.h"

#include "cgi/mbstring.h"
#include "cgi/path.h"
#include "platform/text.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

int compare_views(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return (c > 0) - (c < 0);
}

// compare_joined compares the byte strings a1 + a2 and b1 + b2 without
// joining them.
int compare_joined(std::string_view a1, std::string_view a2, std::string_view b1,
                   std::string_view b2) {
    // Most keys differ within their first parts.
    const std::size_t head = std::min(a1.size(), b1.size());
    const int c = compare_views(a1.substr(0, head), b1.substr(0, head));
    if (c != 0)
        return c;
    if (a1.size() == b1.size())
        return compare_views(a2, b2);
    const std::size_t sizeA = a1.size() + a2.size();
    const std::size_t sizeB = b1.size() + b2.size();
    const std::size_t common = std::min(sizeA, sizeB);
    for (std::size_t i = head; i < common; ++i) {
        const auto x = static_cast<unsigned char>(i < a1.size() ? a1[i] : a2[i - a1.size()]);
        const auto y = static_cast<unsigned char>(i < b1.size() ? b1[i] : b2[i - b1.size()]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return (sizeA > sizeB) - (sizeA < sizeB);
}

// Digits are single-byte characters in every code page the system knows, so
// a digit found at a character boundary is a whole character.
std::size_t first_digit(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (is_digit(c))
            return i;
        // A byte below 0x80 is a character of its own in both character sets.
        i += static_cast<unsigned char>(c) < 0x80 ? 1 : platform::char_length(text, i);
    }
    return text.size();
}

bool all_digits(std::string_view text) {
    for (const char c : text) {
        if (!is_digit(c))
            return false;
    }
    return true;
}

// The digit run read as strtol with base 10 reads it, saturated.
std::int64_t read_number(std::string_view digits) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t n = 0;
    for (const char c : digits) {
        if (!is_digit(c))
            break;
        const int d = c - '0';
        if (n > (kMax - d) / 10)
            return kMax;
        n = n * 10 + d;
    }
    return n;
}

} // namespace

const std::string& SortKeyCache::locale_key(std::string_view text) {
    auto it = m_locale.find(text);
    if (it == m_locale.end())
        it = m_locale.emplace(std::string(text), platform::locale_sort_key(text)).first;
    return it->second;
}

const std::string& SortKeyCache::no_case_key(std::string_view text) {
    auto it = m_noCase.find(text);
    if (it == m_noCase.end())
        it = m_noCase.emplace(std::string(text), platform::no_case_sort_key(text)).first;
    return it->second;
}

const std::string& SortKeyCache::unique_locale_key(std::string_view text) {
    return m_unique.emplace_back(platform::locale_sort_key(text));
}

NaturalKey::NaturalKey(std::string_view text, SortKeyCache* cache) : m_text(text), m_cache(cache) {
    const std::size_t prefixLen = first_digit(text);
    m_prefixLen = static_cast<std::uint32_t>(prefixLen);
    if (prefixLen == text.size()) {
        m_lead = platform::locale_key_lead(text);
        return;
    }
    const std::string_view rest = text.substr(prefixLen);
    bool parenForm = false;
    if (text.back() == ')') {
        // Only "(" digits ")" at the end; any other text ending with ")"
        // is compared as a whole.
        parenForm = prefixLen > 0 && text[prefixLen - 1] == '(' &&
                    all_digits(rest.substr(0, rest.size() - 1));
        m_numbered = parenForm;
    } else {
        m_numbered = all_digits(rest);
    }
    if (!m_numbered) {
        m_lead = platform::locale_key_lead(text);
        return;
    }
    // The key is that of the text before the number followed by "0".
    std::string group(text.substr(0, prefixLen));
    group += '0';
    m_lead = platform::locale_key_lead(group);
    const auto number = static_cast<std::uint64_t>(read_number(rest));
    m_number = number;
    m_tail[0] = '\0';
    m_tail[1] = prefixLen > 0 ? '\1' : '\0';
    m_tail[2] = parenForm ? '\2' : '\1';
    for (std::size_t i = 0; i < 8; ++i)
        m_tail[3 + i] = static_cast<char>((number >> (56 - 8 * i)) & 0xFF);
}

// The locale key of the text, or for a numbered text that of the text before
// the number followed by "0": names of one group share it, and with a cache
// they share one string.
const std::string& NaturalKey::make_locale_key() const {
    if (m_numbered) {
        std::string group(m_text.substr(0, m_prefixLen));
        group += '0';
        if (m_cache != nullptr) {
            m_key = &m_cache->locale_key(group);
        } else {
            m_ownKey = std::make_unique<std::string>(platform::locale_sort_key(group));
            m_key = m_ownKey.get();
        }
    } else if (m_cache != nullptr) {
        m_key = &m_cache->unique_locale_key(m_text);
    } else {
        m_ownKey = std::make_unique<std::string>(platform::locale_sort_key(m_text));
        m_key = m_ownKey.get();
    }
    const std::size_t tailSize = m_numbered ? kTailSize : 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const std::size_t k = m_key->size();
        const char byte = i < k ? (*m_key)[i] : i - k < tailSize ? m_tail[i - k] : '\0';
        m_head = m_head << 8 | static_cast<unsigned char>(byte);
    }
    return *m_key;
}

NaturalHead NaturalKey::summary() const {
    NaturalHead h;
    if (m_key == nullptr && m_lead != platform::KeyLead::low)
        return h;
    const std::string& key = locale_key();
    h.known = true;
    h.head = m_head;
    if (m_numbered && m_cache != nullptr) {
        h.group = &key;
        h.number = m_number;
        h.form = static_cast<std::uint16_t>(static_cast<unsigned char>(m_tail[1]) << 8 |
                                            static_cast<unsigned char>(m_tail[2]));
    }
    return h;
}

namespace {

// compare_in_group orders two numbered texts of one group: by the flags of
// their tails, then their numbers, as the tail bytes would compare; equal
// ones by their bytes.
int compare_in_group(std::string_view tailA, std::string_view tailB, std::uint64_t numberA,
                     std::uint64_t numberB) {
    if (tailA[1] != tailB[1] || tailA[2] != tailB[2])
        return compare_views(tailA, tailB);
    if (numberA != numberB)
        return numberA < numberB ? -1 : 1;
    return 0;
}

} // namespace

int compare_natural(const NaturalKey& a, const NaturalKey& b) {
    const std::string_view tailA(a.m_tail.data(), a.m_numbered ? NaturalKey::kTailSize : 0);
    const std::string_view tailB(b.m_tail.data(), b.m_numbered ? NaturalKey::kTailSize : 0);
    if (a.m_key == nullptr || b.m_key == nullptr) {
        // Orders that need no key: working one out may open the collator.
        using platform::KeyLead;
        if (a.m_lead != b.m_lead && a.m_lead != KeyLead::unknown && b.m_lead != KeyLead::unknown)
            return a.m_lead == KeyLead::low ? -1 : 1;
        if (a.in_group_with(b)) {
            const int c = compare_in_group(tailA, tailB, a.m_number, b.m_number);
            return c != 0 ? c : compare_mb(a.m_text, b.m_text);
        }
    }
    const std::string& keyA = a.locale_key();
    const std::string& keyB = b.locale_key();
    // Zero filling keeps the order: a shorter key that is a prefix of the
    // longer one pads to a number no greater than the longer one's.
    if (a.m_head != b.m_head)
        return a.m_head < b.m_head ? -1 : 1;
    int c = 0;
    if (&keyA == &keyB) {
        // One group (only numbered texts share a key).
        c = compare_in_group(tailA, tailB, a.m_number, b.m_number);
    } else {
        c = compare_joined(keyA, tailA, keyB, tailB);
    }
    return c != 0 ? c : compare_mb(a.m_text, b.m_text);
}

int compare_natural(std::string_view a, std::string_view b) {
    return compare_natural(NaturalKey(a), NaturalKey(b));
}

int compare_file_names(std::string_view a, std::string_view b, bool byExtension) {
    const auto compare_ext = [&] {
        const std::string_view extA = path_extension(a);
        const std::string_view extB = path_extension(b);
        if (extA == extB)
            return 0;
        return compare_views(platform::no_case_sort_key(extA), platform::no_case_sort_key(extB));
    };
    if (byExtension) {
        const int c = compare_ext();
        return c != 0 ? c : compare_natural(path_base_name(a), path_base_name(b));
    }
    const int c = compare_natural(path_base_name(a), path_base_name(b));
    return c != 0 ? c : compare_ext();
}
