// Text replacement and HTML escaping.
#include "cgi/html.h"

#include "platform/text.h"

namespace {

// Control bytes never stand inside a double-byte character (its trail byte is
// 0x40 or above, and never 0x7F), so they can be replaced byte by byte.
bool is_control(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool needs_escaping(std::string_view text) {
    for (const char c : text) {
        if (c == '&' || c == '<' || c == '>' || is_control(c))
            return true;
    }
    return false;
}

// A byte that escaping changes: the three markup characters and the
// control bytes.
constexpr bool changes(unsigned char byte) {
    return byte == '&' || byte == '<' || byte == '>' || byte < 0x20 || byte == 0x7F;
}

void append_escaped_bytes(std::string& out, std::string_view text) {
    // Bytes that stay as they are go in runs, not one by one.
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!changes(static_cast<unsigned char>(c)))
            continue;
        out.append(text.data() + run, i - run);
        run = i + 1;
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            // A control byte would be an invalid character of the page, and
            // a line feed or tab would break the listing's columns.
            out += '?';
        }
    }
    out.append(text.data() + run, text.size() - run);
}

} // namespace

namespace {

constexpr std::string_view kNotPlainInLinks = ";?&[]#%<>\"{}|\\^`:";

struct PlainTable {
    bool plain[256];
};

constexpr PlainTable make_plain_table() {
    PlainTable t{};
    for (unsigned c = 0x21; c < 0x7F; ++c)
        t.plain[c] = kNotPlainInLinks.find(static_cast<char>(c)) == std::string_view::npos;
    return t;
}

constexpr PlainTable kPlainInLinks = make_plain_table();

} // namespace

bool is_plain_link_text(std::string_view text) {
    for (const char c : text) {
        if (!kPlainInLinks.plain[static_cast<unsigned char>(c)])
            return false;
    }
    return true;
}

// Text that is not valid in the page's character set (invalid UTF-8) is made
// valid first, so that the page always decodes.
void append_escaped_html(std::string& out, std::string_view text) {
    if (platform::is_page_text(text)) {
        append_escaped_bytes(out, text);
        return;
    }
    append_escaped_bytes(out, platform::page_text(text));
}

// One pass gives the same text as the three passes "&", "<", ">" in turn:
// no pass can create a character that an earlier pass would have replaced.
std::string& escape_html(std::string& text) {
    if (!needs_escaping(text) && platform::is_page_text(text))
        return text;
    std::string out;
    out.reserve(text.size() + 16);
    append_escaped_html(out, text);
    text.swap(out);
    return text;
}

std::string escaped_html(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    append_escaped_html(out, text);
    return out;
}

std::size_t replace_all(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty())
        return 0;
    std::size_t count = 0;
    for (std::size_t pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
        ++count;
    }
    return count;
}

bool replace_first(std::string& row, std::string_view placeholder, std::string_view value) {
    const std::size_t pos = row.find(placeholder);
    if (pos == std::string::npos)
        return false;
    row.replace(pos, placeholder.size(), value);
    return true;
}
