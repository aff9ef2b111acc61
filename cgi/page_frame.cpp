// The page frame around a listing: title, head, heading and page end.
#include "cgi/corvane.h"

#include "cgi/html.h"
#include "platform/text.h"
#include "runtime/trace.h"

namespace {

constexpr std::string_view kDefaultTitle = "Index of %p";
constexpr std::string_view kDefaultMeta =
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">";
constexpr std::string_view kDefaultMetaUtf8 =
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">";

} // namespace

std::string Corvane::str_title(bool link, bool imode) const {
    vvTraceScope trace("Corvane::str_title");
    if (vv_tracing()) {
        vv_dump_flag(trace.label("Arg: link"), link);
        vv_dump_flag(trace.label("Arg: imode"), imode);
    }
    std::string t = get_style(imode ? "ititle" : "title");
    if (t.empty())
        t = kDefaultTitle;
    const std::size_t at = t.find("%p");
    if (at == std::string::npos)
        return t;

    // A run of leading slashes counts as one: an href starting with "//"
    // would name another host.
    const std::size_t firstName = m_scriptDir.find_first_not_of('/');
    const std::string dir = firstName == 0                   ? m_scriptDir
                            : firstName == std::string::npos ? m_scriptDir.substr(0, 1)
                                                             : m_scriptDir.substr(firstName - 1);
    std::string p;
    if (link && dir.size() >= 2 && dir.front() == '/') {
        // One link per folder of the path, each showing its name with a "/".
        p = str_link("/", "", "");
        std::size_t n = 1;
        for (;;) {
            std::size_t h = dir.find('/', n);
            if (h == std::string::npos)
                h = dir.size();
            p += str_link(dir.substr(0, h) + "/", dir.substr(n, h - n) + "/", "");
            if (h >= dir.size() || h + 1 >= dir.size())
                break;
            n = h + 1;
        }
    } else {
        // The path comes from the request URL: escape it like any name.
        p = escaped_html(m_scriptDir);
    }
    if (p.empty())
        p.push_back('.');
    std::string title = t.substr(0, at);
    title += p;
    title.append(t, at + 2);
    return title;
}

std::string Corvane::str_htmlhead(std::string_view title, bool imode) const {
    vvTraceScope trace("Corvane::str_htmlhead");
    if (vv_tracing()) {
        vv_dump_text(trace.label("Arg: title"), title);
        vv_dump_flag(trace.label("Arg: imode"), imode);
    }
    std::string meta = get_style(imode ? "imeta" : "meta");
    if (meta.empty())
        meta =
            platform::text_charset() == platform::Charset::utf8 ? kDefaultMetaUtf8 : kDefaultMeta;
    if (vv_tracing())
        vv_dump_text(trace.label("meta"), meta);
    // "lang" names the page's language for screen readers; without it the
    // element stays bare.
    const std::string lang = get_style(imode ? "ilang" : "lang");
    std::string head = "<html";
    if (!lang.empty()) {
        head += " lang=\"";
        for (const char c : escaped_html(lang))
            head += c == '"' ? std::string("&quot;") : std::string(1, c);
        head += '"';
    }
    head += ">\n<head>\n";
    head += meta;
    head += "\n<title>";
    head += title.empty() ? str_title(false, imode) : std::string(title);
    head += "</title>\n</head>\n";
    return head;
}

std::string Corvane::str_bodybegin(std::string_view title, bool imode) const {
    vvTraceScope trace("Corvane::str_bodybegin");
    if (vv_tracing())
        vv_dump_flag(trace.label("Arg: imode"), imode);
    std::string body = get_style(imode ? "ibody" : "body");
    if (body.empty())
        body = "<body>";
    body += '\n';
    body += get_style(imode ? "ihead" : "head");
    body += "<h2>";
    body += title.empty() ? str_title(true, imode) : std::string(title);
    body += "</h2>";
    body += with_option_fields(get_style(imode ? "imessage" : "message"));
    body += "<hr>\n";
    return body;
}

std::string Corvane::str_bodyend(bool imode) const {
    vvTraceScope trace("Corvane::str_bodyend");
    if (vv_tracing())
        vv_dump_flag(trace.label("Arg: imode"), imode);
    std::string end = "\n";
    end += get_style(imode ? "itail" : "tail");
    end += "</body>\n</html>\n";
    return end;
}
