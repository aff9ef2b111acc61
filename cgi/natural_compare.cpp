// Natural order of names.
#include "cgi/natural_compare.h"

#include "cgi/mbstring.h"
#include "cgi/path.h"
#include "platform/text.h"

#include <cstring>
#include <limits>

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

int compare_bytes(const std::string& a, const std::string& b) {
    const int c = a.compare(b);
    return (c > 0) - (c < 0);
}

// Digits are single-byte characters in every code page the system knows, so
// a digit found at a character boundary is a whole character.
std::size_t first_digit(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); i += platform::char_length(text, i)) {
        if (is_digit(text[i]))
            return i;
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
    auto it = m_locale.find(std::string(text));
    if (it == m_locale.end())
        it = m_locale.emplace(std::string(text), platform::locale_sort_key(text)).first;
    return it->second;
}

const std::string& SortKeyCache::no_case_key(std::string_view text) {
    auto it = m_noCase.find(std::string(text));
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
    m_hasDigit = prefixLen < text.size();
    if (!m_hasDigit)
        return;
    const std::string_view rest = text.substr(prefixLen);
    m_number = read_number(rest);
    m_digitsToEnd = all_digits(rest);
    m_endsWithParen = text.back() == ')';
    m_parenNumber = m_endsWithParen && prefixLen > 0 && text[prefixLen - 1] == '(' &&
                    all_digits(rest.substr(0, rest.size() - 1));
    if (cache != nullptr && prefixLen > 0)
        m_prefixKey = &cache->locale_key(text.substr(0, prefixLen));
}

// Whether the texts before the numbers are equal in the locale order. Equal
// texts are equal in any locale, and with a cache they share one key.
bool NaturalKey::same_prefix(const NaturalKey& other) const {
    // With a cache the keys are at hand, and the texts need not be read.
    if (m_prefixKey != nullptr && other.m_prefixKey != nullptr)
        return m_prefixKey == other.m_prefixKey || *m_prefixKey == *other.m_prefixKey;
    const std::string_view mine = m_text.substr(0, m_prefixLen);
    const std::string_view theirs = other.m_text.substr(0, other.m_prefixLen);
    if (mine == theirs)
        return true;
    const auto key = [](const NaturalKey& k, std::string_view prefix) -> const std::string& {
        if (k.m_prefixKey != nullptr)
            return *k.m_prefixKey;
        if (!k.m_ownPrefixKey)
            k.m_ownPrefixKey = std::make_unique<std::string>(platform::locale_sort_key(prefix));
        return *k.m_ownPrefixKey;
    };
    return key(*this, mine) == key(other, theirs);
}

const std::string& NaturalKey::full_sort_key() const {
    if (m_fullKey == nullptr) {
        if (m_cache != nullptr) {
            m_fullKey = &m_cache->unique_locale_key(m_text);
        } else {
            m_ownFullKey = std::make_unique<std::string>(platform::locale_sort_key(m_text));
            m_fullKey = m_ownFullKey.get();
        }
    }
    return *m_fullKey;
}

int compare_natural(const NaturalKey& a, const NaturalKey& b) {
    bool numeric = a.m_hasDigit && b.m_hasDigit;
    if (numeric) {
        const bool noPrefixes = a.m_prefixLen == 0 && b.m_prefixLen == 0;
        const bool bothPrefixes = a.m_prefixLen != 0 && b.m_prefixLen != 0;
        numeric = noPrefixes || (bothPrefixes && a.same_prefix(b));
    }
    if (numeric) {
        if (a.m_endsWithParen && b.m_endsWithParen)
            numeric = a.m_parenNumber && b.m_parenNumber;
        else
            numeric = a.m_digitsToEnd && b.m_digitsToEnd;
    }
    if (numeric && a.m_number != b.m_number)
        return a.m_number < b.m_number ? -1 : 1;
    if (!numeric) {
        const int c = compare_bytes(a.full_sort_key(), b.full_sort_key());
        if (c != 0)
            return c;
    }
    return compare_mb(a.m_text, b.m_text);
}

int compare_natural(std::string_view a, std::string_view b) {
    return compare_natural(NaturalKey(a), NaturalKey(b));
}

int compare_file_names(std::string_view a, std::string_view b, bool byExtension) {
    if (byExtension) {
        const int c = platform::compare_no_case(path_extension(a), path_extension(b));
        return c != 0 ? c : compare_natural(path_base_name(a), path_base_name(b));
    }
    const int c = compare_natural(path_base_name(a), path_base_name(b));
    return c != 0 ? c : platform::compare_no_case(path_extension(a), path_extension(b));
}
