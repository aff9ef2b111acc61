// Natural order of names.
#include "cgi/natural_compare.h"

#include "cgi/mbstring.h"
#include "cgi/path.h"
#include "platform/text.h"

#include <cstring>
#include <limits>

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

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

NaturalKey::NaturalKey(std::string_view text) : m_text(text) {
    m_prefixLen = first_digit(text);
    m_hasDigit = m_prefixLen < text.size();
    if (!m_hasDigit)
        return;
    const std::string_view rest = text.substr(m_prefixLen);
    m_number = read_number(rest);
    m_digitsToEnd = all_digits(rest);
    m_endsWithParen = text.back() == ')';
    m_parenNumber = m_endsWithParen && m_prefixLen > 0 && text[m_prefixLen - 1] == '(' &&
                    all_digits(rest.substr(0, rest.size() - 1));
}

const std::string& NaturalKey::prefix_sort_key() const {
    if (!m_havePrefixKey) {
        m_prefixKey = platform::locale_sort_key(m_text.substr(0, m_prefixLen));
        m_havePrefixKey = true;
    }
    return m_prefixKey;
}

const std::string& NaturalKey::full_sort_key() const {
    if (!m_haveFullKey) {
        m_fullKey = platform::locale_sort_key(m_text);
        m_haveFullKey = true;
    }
    return m_fullKey;
}

int compare_natural(const NaturalKey& a, const NaturalKey& b) {
    bool numeric = a.m_hasDigit && b.m_hasDigit;
    if (numeric) {
        const bool noPrefixes = a.m_prefixLen == 0 && b.m_prefixLen == 0;
        const bool bothPrefixes = a.m_prefixLen != 0 && b.m_prefixLen != 0;
        // Identical prefixes (the common case: "file2", "file10") are equal
        // in any locale; only different ones need collating.
        numeric = noPrefixes ||
                  (bothPrefixes && (a.m_text.substr(0, a.m_prefixLen) ==
                                        b.m_text.substr(0, b.m_prefixLen) ||
                                    compare_bytes(a.prefix_sort_key(), b.prefix_sort_key()) == 0));
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
