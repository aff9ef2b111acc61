// The query string options of a listing request.
#include "cgi/request_options.h"

#include "platform/common/ascii.h"
#include "platform/text.h"

#include <algorithm>

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// percent_decode decodes `text` into `out`; false for a "%" that is not
// followed by two hex digits, and for a decoded NUL byte.
bool percent_decode(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            c = ' ';
        } else if (c == '%') {
            const int high = i + 1 < text.size() ? hex_value(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? hex_value(text[i + 2]) : -1;
            if (high < 0 || low < 0)
                return false;
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        if (c == '\0')
            return false;
        out += c;
    }
    return true;
}

// cut_to_limit shortens `value` to at most kOptionValueLimit bytes without
// splitting a character of the text layer's character set.
void cut_to_limit(std::string& value) {
    if (value.size() <= kOptionValueLimit)
        return;
    std::size_t end = 0;
    while (end < value.size()) {
        const std::size_t next = end + platform::char_length(value, end);
        if (next > kOptionValueLimit)
            break;
        end = next;
    }
    value.resize(end);
}

} // namespace

RequestOptions parse_request_options(std::string_view queryString) {
    RequestOptions options;
    bool seenC = false, seenO = false, seenQ = false, seenFormat = false;
    std::string name, value;
    while (!queryString.empty()) {
        const std::size_t end = queryString.find_first_of("&;");
        const std::string_view part = queryString.substr(0, end);
        queryString.remove_prefix(end == std::string_view::npos ? queryString.size() : end + 1);
        const std::size_t eq = part.find('=');
        if (eq == std::string_view::npos || !percent_decode(part.substr(0, eq), name) ||
            !percent_decode(part.substr(eq + 1), value))
            continue;
        if (name == "C" && !seenC) {
            seenC = true;
            if (value.size() == 1 && std::string_view("NMSET").find(value[0]) != std::string::npos)
                options.column = value[0];
        } else if (name == "O" && !seenO) {
            seenO = true;
            options.descending = value == "D";
        } else if (name == "q" && !seenQ) {
            seenQ = true;
            cut_to_limit(value);
            options.query = value;
        } else if (name == "format" && !seenFormat) {
            seenFormat = true;
            options.json = value == "json";
            options.formatGiven = options.json || value == "html";
        }
    }
    return options;
}

std::string_view sort_key_of(char column, bool descending) {
    switch (column) {
    case 'N':
        return descending ? "rname" : "name";
    case 'M':
        return descending ? "rtime" : "time";
    case 'S':
        return descending ? "rsize" : "size";
    case 'E':
        return descending ? "rext" : "ext";
    case 'T':
        return "type";
    default:
        return {};
    }
}

char column_of_sort_key(std::string_view key, bool& descending) {
    descending = !key.empty() && key.front() == 'r';
    if (key.empty() || key == "name" || key == "r" || key == "rname")
        return 'N';
    if (key == "time" || key == "rtime")
        return 'M';
    if (key == "size" || key == "rsize")
        return 'S';
    if (key == "ext" || key == "rext")
        return 'E';
    if (key == "type")
        return 'T';
    descending = false;
    return 0;
}

std::vector<unsigned> folded_codes(std::string_view text) {
    std::vector<unsigned> codes;
    codes.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t length = 1;
        codes.push_back(platform::fold_case(platform::char_code(text, pos, &length)));
        pos += length == 0 ? 1 : length;
    }
    return codes;
}

bool name_contains(const std::vector<unsigned>& name, const std::vector<unsigned>& query) {
    return std::search(name.begin(), name.end(), query.begin(), query.end()) != name.end();
}

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// quality_of reads a "q" value in thousandths: "1", "0.5", "0.125"; 1000
// when it is not a number of that form.
int quality_of(std::string_view value) {
    if (value.empty() || (value[0] != '0' && value[0] != '1'))
        return 1000;
    int q = (value[0] - '0') * 1000;
    if (value.size() > 1 && value[1] == '.') {
        int scale = 100;
        for (std::size_t i = 2; i < value.size() && i < 5; ++i) {
            if (value[i] < '0' || value[i] > '9')
                break;
            q += (value[i] - '0') * scale;
            scale /= 10;
        }
    }
    return q > 1000 ? 1000 : q;
}

// Best is a media type's quality by the most specific range that named it.
struct Best {
    int specificity = -1;
    int quality = 0;
    void offer(int rangeSpecificity, int rangeQuality) {
        if (rangeSpecificity > specificity) {
            specificity = rangeSpecificity;
            quality = rangeQuality;
        }
    }
};

} // namespace

bool accept_prefers_json(std::string_view accept) {
    Best json, html;
    while (!accept.empty()) {
        const std::size_t comma = accept.find(',');
        const std::string_view range = accept.substr(0, comma);
        accept.remove_prefix(comma == std::string_view::npos ? accept.size() : comma + 1);
        const std::size_t semicolon = range.find(';');
        const std::string_view type = trimmed(range.substr(0, semicolon));
        std::string_view params =
            semicolon == std::string_view::npos ? std::string_view() : range.substr(semicolon + 1);
        int quality = 1000;
        while (!params.empty()) {
            const std::size_t next = params.find(';');
            const std::string_view param = trimmed(params.substr(0, next));
            params.remove_prefix(next == std::string_view::npos ? params.size() : next + 1);
            if (param.size() > 2 && (param[0] == 'q' || param[0] == 'Q') && param[1] == '=')
                quality = quality_of(param.substr(2));
        }
        if (platform::ascii::equal_no_case(type, "*/*")) {
            json.offer(0, quality);
            html.offer(0, quality);
        } else if (platform::ascii::equal_no_case(type, "application/*")) {
            json.offer(1, quality);
        } else if (platform::ascii::equal_no_case(type, "text/*")) {
            html.offer(1, quality);
        } else if (platform::ascii::equal_no_case(type, "application/json")) {
            json.offer(2, quality);
        } else if (platform::ascii::equal_no_case(type, "text/html")) {
            html.offer(2, quality);
        }
    }
    return json.quality > html.quality;
}
