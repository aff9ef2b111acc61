// Time text of entry times.
#include "cgi/time_value.h"

#include "platform/clock.h"

TimeValue TimeValue::make(std::int64_t sec, std::int64_t usec) {
    sec += usec / 1000000;
    usec %= 1000000;
    if (usec < 0) {
        usec += 1000000;
        sec -= 1;
    }
    return TimeValue{sec, static_cast<std::int32_t>(usec)};
}

std::string TimeValue::to_text() const {
    std::string text;
    text.reserve(26);
    append_text(text);
    return text;
}

namespace {

// Writes `value` with at least `width` digits, zero-filled, at `out`; returns
// the end of what it wrote (at most 21 bytes).
char* put_number(char* out, std::int64_t value, int width) {
    char digits[24];
    int n = 0;
    const bool negative = value < 0;
    std::uint64_t rest =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (negative)
        *out++ = '-';
    for (int i = n; i < width; ++i)
        *out++ = '0';
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

// put_two writes 0 to 99 as two digits.
char* put_two(char* out, int value) {
    out[0] = static_cast<char>('0' + value / 10);
    out[1] = static_cast<char>('0' + value % 10);
    return out + 2;
}

// put_field writes a calendar field that is two digits wide when it lies in
// 0..99 (always, but for a broken clock) without the general conversion.
char* put_field(char* out, std::int64_t value) {
    return value >= 0 && value < 100 ? put_two(out, static_cast<int>(value))
                                     : put_number(out, value, 2);
}

} // namespace

// The text is the strftime form "%Y/%m/%d %H:%M:%S." followed by six digits
// of microseconds; a date part longer than 23 bytes (a year beyond seven
// digits) counts as a time that cannot be shown.
void TimeValue::append_text(std::string& out, const platform::LocalZone& zone) const {
    platform::LocalTime local;
    if (is_missing() || !zone.convert(seconds, local)) {
        out += kMissingTimeText;
        return;
    }
    char text[64];
    char* end = put_number(text, local.year, 4);
    *end++ = '/';
    end = put_field(end, local.month);
    *end++ = '/';
    end = put_field(end, local.day);
    *end++ = ' ';
    end = put_field(end, local.hour);
    *end++ = ':';
    end = put_field(end, local.minute);
    *end++ = ':';
    end = put_field(end, local.second);
    *end++ = '.';
    if (end - text > 23) {
        out += kMissingTimeText;
        return;
    }
    const int usec = make(0, microseconds).microseconds;
    end = put_two(end, usec / 10000);
    end = put_two(end, usec / 100 % 100);
    end = put_two(end, usec % 100);
    out.append(text, static_cast<std::size_t>(end - text));
}

void TimeValue::append_minutes(std::string& out, const platform::LocalZone& zone) const {
    platform::LocalTime local;
    // A four-digit year and two-digit fields, as every real file time has:
    // the first 16 bytes are known without the rest of the text.
    if (!is_missing() && zone.convert(seconds, local) && local.year >= 0 && local.year <= 9999 &&
        local.month < 100 && local.day < 100 && local.hour < 100 && local.minute < 100 &&
        local.month >= 0 && local.day >= 0 && local.hour >= 0 && local.minute >= 0) {
        char text[16];
        const auto year = static_cast<int>(local.year);
        put_two(text, year / 100);
        put_two(text + 2, year % 100);
        text[4] = '/';
        put_two(text + 5, local.month);
        text[7] = '/';
        put_two(text + 8, local.day);
        text[10] = ' ';
        put_two(text + 11, local.hour);
        text[13] = ':';
        put_two(text + 14, local.minute);
        out.append(text, sizeof text);
        return;
    }
    const std::size_t start = out.size();
    append_text(out, zone);
    out.resize(start + 16);
}
