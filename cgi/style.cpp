// Style selection: display keys come from the user agent's variant of the
// style, the style itself, or section "index".
#include "cgi/corvane.h"

#include "runtime/trace.h"

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

    // The first byte of a key in section "ua" only orders the entries; the
    // rest is a fragment searched in the user agent, case-sensitively.
    const std::string& userAgent = env("HTTP_USER_AGENT");
    std::string prefix;
    for (const auto& [key, value] : m_conf.get_section("ua").entries) {
        const std::string_view fragment = std::string_view(key).substr(key.empty() ? 0 : 1);
        if (userAgent.find(fragment) != std::string::npos) {
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
