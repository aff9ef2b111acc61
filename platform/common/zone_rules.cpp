// The TZif reader and the calendar arithmetic of local times.
#include "platform/common/zone_rules.h"

#include <algorithm>
#include <climits>

namespace platform {

namespace {

constexpr std::size_t kHeaderSize = 44;

// The C library leaves the times past this to its own rules (its footer
// path first converts the time without offset, which fails near the end of
// the year range).
constexpr std::int64_t kLargestSafeTime = std::int64_t{1} << 55;

std::uint32_t be32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
           b[3];
}

std::int64_t be64(const char* p) {
    return static_cast<std::int64_t>((std::uint64_t{be32(p)} << 32) | be32(p + 4));
}

struct Counts {
    std::uint64_t isUt = 0, isStd = 0, leaps = 0, times = 0, types = 0, chars = 0;

    // The bytes of the data block that follows the header, for times of
    // `width` bytes.
    std::uint64_t block_size(std::uint64_t width) const {
        return times * width + times + types * 6 + chars + leaps * (width + 4) + isStd + isUt;
    }
};

bool read_header(std::string_view file, std::size_t at, char& version, Counts& counts) {
    if (at > file.size() || file.size() - at < kHeaderSize || file.substr(at, 4) != "TZif")
        return false;
    const char* p = file.data() + at;
    version = p[4];
    counts.isUt = be32(p + 20);
    counts.isStd = be32(p + 24);
    counts.leaps = be32(p + 28);
    counts.times = be32(p + 32);
    counts.types = be32(p + 36);
    counts.chars = be32(p + 40);
    return true;
}

bool is_alpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// read_number reads one or two digits at `i`.
bool read_number(std::string_view text, std::size_t& i, int& value) {
    const std::size_t start = i;
    value = 0;
    while (i < text.size() && is_digit(text[i]) && i - start < 2)
        value = value * 10 + (text[i++] - '0');
    return i > start && (i == text.size() || !is_digit(text[i]));
}

// fixed_offset is the offset of a POSIX TZ text that has no daylight saving
// ("UTC0", "JST-9", "<+0530>-5:30"): a name, then an offset west of UTC. Any
// other text gives nullopt.
std::optional<std::int32_t> fixed_offset(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_alpha(text[i]))
        ++i;
    if (i < 3) {
        if (text.empty() || text[0] != '<')
            return std::nullopt;
        i = 1;
        while (i < text.size() &&
               (is_alpha(text[i]) || is_digit(text[i]) || text[i] == '+' || text[i] == '-'))
            ++i;
        if (i >= text.size() || text[i] != '>' || i - 1 < 3)
            return std::nullopt;
        ++i;
    }
    int sign = -1;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        sign = text[i++] == '-' ? 1 : -1;
    int hours = 0, minutes = 0, seconds = 0;
    if (!read_number(text, i, hours))
        return std::nullopt;
    if (i < text.size() && text[i] == ':') {
        ++i;
        if (!read_number(text, i, minutes))
            return std::nullopt;
        if (i < text.size() && text[i] == ':') {
            ++i;
            if (!read_number(text, i, seconds))
                return std::nullopt;
        }
    }
    if (i != text.size())
        return std::nullopt;
    // Out-of-range fields are clamped, as the C library does.
    return sign * (std::min(hours, 24) * 3600 + std::min(minutes, 59) * 60 + std::min(seconds, 59));
}

} // namespace

std::optional<ZoneRules> ZoneRules::parse(std::string_view file) {
    char version = 0;
    Counts v1;
    if (!read_header(file, 0, version, v1) || version < '2')
        return std::nullopt;
    // Only the 64-bit block behind the version-1 data is read.
    const std::uint64_t second = kHeaderSize + v1.block_size(4);
    Counts counts;
    if (second > file.size() ||
        !read_header(file, static_cast<std::size_t>(second), version, counts))
        return std::nullopt;
    if (counts.leaps != 0 || counts.types == 0 || counts.types > 256 || counts.chars == 0)
        return std::nullopt;
    const std::uint64_t data = second + kHeaderSize;
    const std::uint64_t end = data + counts.block_size(8);
    if (end > file.size())
        return std::nullopt;

    const char* p = file.data() + data;
    const auto times = static_cast<std::size_t>(counts.times);
    const char* indexes = p + times * 8;
    const char* types = indexes + times;
    auto type_offset = [&](std::size_t type) {
        return static_cast<std::int32_t>(be32(types + type * 6));
    };
    for (std::size_t t = 0; t < counts.types; ++t) {
        const auto isDst = static_cast<unsigned char>(types[t * 6 + 4]);
        const auto nameAt = static_cast<unsigned char>(types[t * 6 + 5]);
        if (isDst > 1 || nameAt >= counts.chars)
            return std::nullopt;
    }

    ZoneRules rules;
    rules.m_transitions.reserve(times);
    rules.m_offsetAfter.reserve(times);
    for (std::size_t i = 0; i < times; ++i) {
        const std::int64_t at = be64(p + i * 8);
        const auto type = static_cast<unsigned char>(indexes[i]);
        if (type >= counts.types || (i > 0 && at <= rules.m_transitions.back()))
            return std::nullopt;
        rules.m_transitions.push_back(at);
        rules.m_offsetAfter.push_back(type_offset(type));
    }
    // Before the first transition: the first standard-time type, else the
    // first type.
    std::size_t first = 0;
    while (first < counts.types && types[first * 6 + 4] != 0)
        ++first;
    rules.m_offsetBefore = type_offset(first == counts.types ? 0 : first);

    // The footer is one line of POSIX TZ text between newlines.
    const std::string_view footer = file.substr(static_cast<std::size_t>(end));
    if (footer.size() < 2 || footer.front() != '\n' || footer.back() != '\n')
        return std::nullopt;
    const std::string_view text = footer.substr(1, footer.size() - 2);
    if (text.find('\n') != std::string_view::npos)
        return std::nullopt;
    if (text.empty()) {
        if (!rules.m_offsetAfter.empty())
            rules.m_offsetLast = rules.m_offsetAfter.back();
    } else {
        rules.m_offsetLast = fixed_offset(text);
    }
    return rules;
}

std::optional<std::int32_t> ZoneRules::utc_offset(std::int64_t seconds) const {
    if (seconds > kLargestSafeTime || seconds < -kLargestSafeTime)
        return std::nullopt;
    if (m_transitions.empty() || seconds < m_transitions.front())
        return m_offsetBefore;
    if (seconds >= m_transitions.back())
        return m_offsetLast;
    const auto next = std::upper_bound(m_transitions.begin(), m_transitions.end(), seconds);
    return m_offsetAfter[static_cast<std::size_t>(next - m_transitions.begin()) - 1];
}

bool civil_time(std::int64_t seconds, std::int32_t offset, LocalTime& out) {
    constexpr std::int64_t kDay = 86400;
    // Split before adding, so that no sum can overflow.
    std::int64_t days = seconds / kDay + offset / kDay;
    std::int64_t rest = seconds % kDay + offset % kDay;
    while (rest < 0) {
        rest += kDay;
        --days;
    }
    while (rest >= kDay) {
        rest -= kDay;
        ++days;
    }
    // Days since 1970 to the Gregorian date, counted in 400-year eras that
    // start on March 1st of year 0.
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153; // 0 = March
    const auto month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    if (year - 1900 < INT_MIN || year - 1900 > INT_MAX)
        return false;
    out.year = year;
    out.month = month;
    out.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    out.hour = static_cast<int>(rest / 3600);
    out.minute = static_cast<int>(rest / 60 % 60);
    out.second = static_cast<int>(rest % 60);
    return true;
}

} // namespace platform
