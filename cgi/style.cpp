// Style selection: display keys come from the user agent's variant of the
// style, the style itself, or section "index".
#include "cgi/corvane.h"

#include "platform/text.h"
#include "runtime/trace.h"

namespace {

// contains_whole_chars tells whether `fragment` occurs in `text` starting and
// ending on character boundaries, so that the trail byte of a double-byte
// character never starts a match, nor its lead byte ends one. An empty
// fragment occurs in every text.
bool contains_whole_chars(std::string_view text, std::string_view fragment) {
    if (fragment.empty())
        return true;
    for (std::size_t at = 0; at < text.size(); at += platform::char_length(text, at)) {
        if (text.compare(at, fragment.size(), fragment) != 0)
            continue;
        std::size_t end = at;
        while (end < at + fragment.size())
            end += platform::char_length(text, end);
        if (end == at + fragment.size())
            return true;
    }
    return false;
}

} // namespace

std::string Corvane::get_style(std::string_view name, std::string_view style) const {
    // Quiet: it runs for every display key.
    vvTraceScope trace("Corvane::get_style", true);
    if (vv_tracing())
        vv_dump_text(trace.label("Arg: name"), name);
    std::string styleName(style);
    if (styleName.empty())
        styleName = m_conf.get_string("index", "style");
    if (styleName.empty()) {
        std::string value = m_conf.get_string("index", name);
        if (vv_tracing())
            vv_dump_text(trace.label("value"), value);
        return value;
    }
    if (vv_tracing())
        vv_dump_text(trace.label("stsect"), styleName);

    // The first character of a key in section "ua" (a double-byte one
    // whole) only orders the entries; the rest is a fragment searched in the
    // user agent, case-sensitively.
    const std::string& userAgent = env("HTTP_USER_AGENT");
    std::string prefix;
    for (const auto& [key, value] : m_conf.get_section("ua").entries) {
        const std::size_t mark = key.empty() ? 0 : platform::char_length(key, 0);
        if (contains_whole_chars(userAgent, std::string_view(key).substr(mark))) {
            prefix = value;
            break;
        }
    }

    if (vv_tracing())
        vv_dump_text(trace.label("prefix"), prefix);

    std::string v = m_conf.get_string(prefix + styleName, name);
    if (v.empty())
        v = m_conf.get_string(styleName, name);
    if (v.empty())
        v = m_conf.get_string("index", name);
    if (vv_tracing())
        vv_dump_text(trace.label("value"), v);
    return v;
}
