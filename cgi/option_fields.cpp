// Sort links and search form fields of the style's templates.
#include "cgi/option_fields.h"

#include "cgi/html.h"

namespace {

bool is_column(char c) {
    return c == 'N' || c == 'M' || c == 'S' || c == 'E' || c == 'T';
}

// append_query_value percent-encodes a value for a query string: every byte
// but letters, digits and "-._~".
void append_query_value(std::string& out, std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
            b == '-' || b == '.' || b == '_' || b == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        }
    }
}

// append_attribute_text appends `text` escaped for a quoted attribute value.
void append_attribute_text(std::string& out, std::string_view text) {
    const std::string escaped = escaped_html(text);
    for (const char c : escaped) {
        if (c == '"')
            out += "&quot;";
        else if (c == '\'')
            out += "&#39;";
        else
            out += c;
    }
}

void append_sort_link(std::string& out, char column, std::string_view label,
                      const ListingState& state) {
    if (!state.visitorOptions) {
        out += label;
        return;
    }
    const bool current = column == state.column;
    // A click on the column shown ascending reverses it.
    const bool descending = current && !state.descending;
    out += "<a href=\"?C=";
    out += column;
    out += descending ? "&amp;O=D" : "&amp;O=A";
    if (!state.query.empty()) {
        out += "&amp;q=";
        append_query_value(out, state.query);
    }
    out += "\" rel=\"nofollow\">";
    out += label;
    if (current) {
        out += state.descending ? " <span role=\"img\" aria-label=\"(descending)\">&#9660;</span>"
                                : " <span role=\"img\" aria-label=\"(ascending)\">&#9650;</span>";
    }
    out += "</a>";
}

// expand_field appends what the field `name` (the text between "%{" and
// "}") stands for; false when it names no field.
bool expand_field(std::string& out, std::string_view name, const ListingState& state) {
    if (name.size() >= 7 && name.substr(0, 5) == "sort:" && is_column(name[5]) && name[6] == ':') {
        append_sort_link(out, name[5], name.substr(7), state);
        return true;
    }
    if (name.size() == 6 && name.substr(0, 5) == "aria:" && is_column(name[5])) {
        if (state.visitorOptions && name[5] == state.column)
            out += state.descending ? " aria-sort=\"descending\"" : " aria-sort=\"ascending\"";
        return true;
    }
    if (name == "q") {
        if (state.visitorOptions)
            append_attribute_text(out, state.query);
        return true;
    }
    if (name == "order") {
        if (state.visitorOptions && state.column != 0) {
            out += "<input type=\"hidden\" name=\"C\" value=\"";
            out += state.column;
            out += state.descending ? "\"><input type=\"hidden\" name=\"O\" value=\"D\">"
                                    : "\"><input type=\"hidden\" name=\"O\" value=\"A\">";
        }
        return true;
    }
    if (name == "count") {
        out += std::to_string(state.count);
        return true;
    }
    return false;
}

} // namespace

std::string expand_option_fields(std::string_view text, const ListingState& state) {
    std::string out;
    out.reserve(text.size());
    for (;;) {
        const std::size_t open = text.find("%{");
        const std::size_t close = open == std::string_view::npos ? open : text.find('}', open + 2);
        if (close == std::string_view::npos) {
            out += text;
            return out;
        }
        out += text.substr(0, open);
        if (!expand_field(out, text.substr(open + 2, close - open - 2), state))
            out += text.substr(open, close + 1 - open);
        text.remove_prefix(close + 1);
    }
}
