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

int compare_views(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return (c > 0) - (c < 0);
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

// An empty text before the numbers: one group of its own.
const char kEmptyPrefix = 0;

// key_head is a sort key's first eight bytes as one big-endian number,
// zero-filled: two keys whose heads differ order as their heads do, so that
// most comparisons of a sort read one number.
std::uint64_t key_head(const std::string& key) {
    std::uint64_t head = 0;
    for (std::size_t i = 0; i < 8; ++i)
        head = head << 8 | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
    return head;
}

// write_number writes the number of the digit run `digits` at `out` as its
// count of decimal digits (two digits) and its digits, without leading
// zeros and saturated as read_number reads it, so that numbers written so
// order as texts as they do as numbers. Returns the end of what it wrote, at
// most digits.size() + 2 bytes.
char* write_number(char* out, std::string_view digits) {
    constexpr std::string_view kMax = "9223372036854775807";
    while (digits.size() > 1 && digits.front() == '0')
        digits.remove_prefix(1);
    if (digits.size() > kMax.size() || (digits.size() == kMax.size() && digits > kMax))
        digits = kMax;
    *out++ = static_cast<char>('0' + digits.size() / 10);
    *out++ = static_cast<char>('0' + digits.size() % 10);
    std::memcpy(out, digits.data(), digits.size());
    return out + digits.size();
}

} // namespace

const std::string& SortKeyCache::locale_key(std::string_view text) {
    auto it = m_locale.find(text);
    if (it == m_locale.end()) {
        const std::string& key = *m_keys.insert(platform::locale_sort_key(text)).first;
        it = m_locale.emplace(std::string(text), &key).first;
    }
    return *it->second;
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
    m_lead = platform::locale_key_lead(text);
    if (prefixLen == text.size())
        return;
    const std::string_view rest = text.substr(prefixLen);
    if (all_digits(rest)) {
        m_form = NumberForm::plain;
    } else if (text.back() == ')' && prefixLen > 0 && text[prefixLen - 1] == '(' &&
               all_digits(rest.substr(0, rest.size() - 1))) {
        m_form = NumberForm::parens;
    } else {
        return;
    }
    m_number = static_cast<std::uint64_t>(read_number(rest));
    // The text before the number of a text of characters below 0x80 is one
    // too.
    if (prefixLen > 0)
        m_prefixLead = m_lead == platform::KeyLead::low
                           ? m_lead
                           : platform::locale_key_lead(text.substr(0, prefixLen));
}

// A text collates with each digit run written as its number's count of
// digits (two digits) and the number's digits, without leading zeros:
// "file2" as "file012", "file10" as "file0210", "v2.1" as "v012.011".
// Digits collate in their numeric order, so runs at the same place order by
// number; two names of one group (equal text before the number, one form)
// order by number, and one key order holds every name.
std::string_view NaturalKey::collation_text(std::string& buffer) const {
    // Each run of digits grows by two bytes at most.
    if (buffer.size() < 3 * m_text.size())
        buffer.resize(3 * m_text.size());
    char* const start = buffer.data();
    std::memcpy(start, m_text.data(), m_prefixLen);
    char* out = start + m_prefixLen;
    std::size_t i = m_prefixLen;
    while (i < m_text.size()) {
        // A digit byte is a character of its own in both character sets:
        // it is never a trail byte.
        const std::size_t run = i;
        while (i < m_text.size() && is_digit(m_text[i]))
            ++i;
        out = write_number(out, m_text.substr(run, i - run));
        const std::size_t text = i;
        while (i < m_text.size() && !is_digit(m_text[i]))
            ++i;
        std::memcpy(out, m_text.data() + text, i - text);
        out += i - text;
    }
    return {start, static_cast<std::size_t>(out - start)};
}

const std::string& NaturalKey::make_locale_key() const {
    // A text without digits collates as it is.
    thread_local std::string buffer;
    const std::string_view text = m_prefixLen < m_text.size() ? collation_text(buffer) : m_text;
    if (m_cache != nullptr) {
        m_key = &m_cache->unique_locale_key(text);
    } else {
        m_ownKey = std::make_unique<std::string>(platform::locale_sort_key(text));
        m_key = m_ownKey.get();
    }
    m_head = key_head(*m_key);
    return *m_key;
}

const std::string& NaturalKey::prefix_key() const {
    if (m_prefixKey == nullptr) {
        if (m_cache != nullptr) {
            m_prefixKey = &m_cache->locale_key(prefix());
        } else {
            m_ownPrefixKey = std::make_unique<std::string>(platform::locale_sort_key(prefix()));
            m_prefixKey = m_ownPrefixKey.get();
        }
    }
    return *m_prefixKey;
}

// prefix_matches tells whether the texts before the numbers of two numbered
// texts are both empty, or both non-empty and equal in the locale.
bool NaturalKey::prefix_matches(const NaturalKey& other) const {
    if (m_prefixLen == 0 || other.m_prefixLen == 0)
        return m_prefixLen == other.m_prefixLen;
    if (prefix() == other.prefix())
        return true;
    using platform::KeyLead;
    if (m_prefixLead != other.m_prefixLead && m_prefixLead != KeyLead::unknown &&
        other.m_prefixLead != KeyLead::unknown)
        return false;
    const std::string& a = prefix_key();
    const std::string& b = other.prefix_key();
    if (&a == &b)
        return true;
    // One cache holds one string per distinct key.
    if (m_cache != nullptr && m_cache == other.m_cache)
        return false;
    return a == b;
}

NaturalHead NaturalKey::summary() const {
    NaturalHead h;
    if (m_key == nullptr && m_lead != platform::KeyLead::low)
        return h;
    locale_key();
    h.known = true;
    h.head = m_head;
    h.form = m_form;
    h.number = m_number;
    if (m_form != NumberForm::none) {
        if (m_prefixLen == 0)
            h.group = &kEmptyPrefix;
        else if (m_cache != nullptr &&
                 (m_prefixKey != nullptr || m_prefixLead == platform::KeyLead::low))
            h.group = &prefix_key();
    }
    return h;
}

int compare_natural(const NaturalKey& a, const NaturalKey& b) {
    if (a.m_form != NumberForm::none && a.m_form == b.m_form && a.prefix_matches(b)) {
        if (a.m_number != b.m_number)
            return a.m_number < b.m_number ? -1 : 1;
        return compare_mb(a.m_text, b.m_text);
    }
    if (a.m_text == b.m_text)
        return 0;
    using platform::KeyLead;
    if ((a.m_key == nullptr || b.m_key == nullptr) && a.m_lead != b.m_lead &&
        a.m_lead != KeyLead::unknown && b.m_lead != KeyLead::unknown)
        return a.m_lead == KeyLead::low ? -1 : 1;
    const std::string& keyA = a.locale_key();
    const std::string& keyB = b.locale_key();
    if (a.m_head != b.m_head)
        return a.m_head < b.m_head ? -1 : 1;
    const int c = compare_views(keyA, keyB);
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
