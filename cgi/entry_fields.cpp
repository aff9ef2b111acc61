// The texts of one listing row: link, icon, size and the row template.
#include "cgi/corvane.h"

#include "cgi/html.h"
#include "cgi/path.h"
#include "platform/fs.h"
#include "runtime/number.h"
#include "runtime/trace.h"
#include "runtime/url.h"

#include <cstring>

namespace {

// The URL path form of a link target or icon source.
std::string url_path(std::string_view path) {
    return vv_url_encode(path, kUrlPathKeep, platform::href_keeps_double_byte());
}

// A relative href whose first segment holds a ":" would read as a URL with a
// scheme ("javascript:alert(1)"); "./" in front keeps it a path.
bool reads_as_scheme(std::string_view href) {
    const std::size_t colon = href.find(':');
    return colon != std::string_view::npos && colon < href.find('/');
}

} // namespace

void append_href(std::string& out, std::string_view target) {
    if (is_plain_link_text(target)) {
        out += target;
        return;
    }
    const std::size_t hrefStart = out.size();
    vv_url_encode_append(out, target, kUrlPathKeep, platform::href_keeps_double_byte());
    if (reads_as_scheme(std::string_view(out).substr(hrefStart)))
        out.insert(hrefStart, "./");
}

void Corvane::append_link(std::string& out, std::string_view target, std::string_view name,
                          std::string_view anchor) const {
    vvTraceScope trace("Corvane::str_link");
    if (vv_tracing()) {
        vv_dump_text(trace.label("Arg: target"), target);
        vv_dump_text(trace.label("Arg: name"), name);
    }
    const std::size_t start = out.size();
    const std::string_view text = name.empty() ? target : name;
    if (anchor.empty() && is_plain_link_text(target) &&
        ((text.data() == target.data() && text.size() <= target.size()) ||
         is_plain_link_text(text))) {
        // Most names: nothing to encode, escape or guard.
        out += "<a href=\"";
        out += target;
        out += "\">";
        out += text;
        out += "</a>";
        if (vv_tracing())
            vv_dump_text(trace.label("result"), std::string_view(out).substr(start));
        return;
    }
    out += "<a href=\"";
    append_href(out, target);
    if (!anchor.empty()) {
        out += '#';
        vv_url_encode_append(out, anchor, kUrlPathKeep, platform::href_keeps_double_byte());
    }
    out += "\">";
    append_escaped_html(out, text);
    out += "</a>";
    if (vv_tracing())
        vv_dump_text(trace.label("result"), std::string_view(out).substr(start));
}

std::string Corvane::str_link(std::string_view target, std::string_view name,
                              std::string_view anchor) const {
    std::string link;
    append_link(link, target, name, anchor);
    return link;
}

std::string Corvane::get_icon(std::string_view key) const {
    vvTraceScope trace("Corvane::get_icon");
    const bool tracing = vv_tracing();
    if (tracing) {
        vv_dump_text(trace.label("Arg: ext"), key);
    } else if (const auto known = m_iconByKey.find(key); known != m_iconByKey.end()) {
        return known->second;
    }
    std::string value = m_conf.get_string("icon", key);
    if (value.empty())
        value = m_conf.get_string("icon", "default");
    if (value.empty()) {
        if (tracing)
            vv_dump_text(trace.label("icon"), value);
        else
            m_iconByKey.emplace(key, std::string());
        return {};
    }
    const std::uint32_t height = parse_unsigned(m_conf.get_string("icon", "height"));
    std::string icon = "<img ";
    if (height != 0)
        icon += "height=" + std::to_string(height) + " ";
    icon += "src=\"";
    icon += url_path(m_iconPath + value);
    icon += "\">";
    if (tracing)
        vv_dump_text(trace.label("icon"), icon);
    else
        m_iconByKey.emplace(key, icon);
    return icon;
}

const std::string& Corvane::icon_for(std::string_view key) const {
    if (m_lastIcon == nullptr || key != m_lastIconKey) {
        auto known = m_iconByKey.find(key);
        if (known == m_iconByKey.end()) {
            get_icon(key); // which keeps its answer
            known = m_iconByKey.find(key);
        }
        m_lastIconKey.assign(key);
        m_lastIcon = &known->second;
    }
    return *m_lastIcon;
}

std::string Corvane::str_size(std::uint64_t size) {
    std::uint64_t number = size;
    const char* unit = " TB";
    if (size < 1024) {
        unit = " B ";
    } else if ((size >> 10) < 1024) {
        number = size >> 10;
        unit = " KB";
    } else if ((size >> 20) < 10000) {
        number = size >> 20;
        unit = " MB";
    } else if ((size >> 30) < 10000) {
        number = size >> 30;
        unit = " GB";
    } else {
        number = size >> 40;
    }
    // The digits from the back of a small buffer, then the unit.
    char text[32];
    char* const end = text + sizeof text - 3;
    char* first = end;
    do {
        *--first = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number != 0);
    std::memcpy(end, unit, 3);
    return std::string(first, static_cast<std::size_t>(end + 3 - first));
}

void Corvane::append_name_cell(std::string& out, const DirEntry& entry, std::string_view name,
                               std::string_view ext, bool noicon) const {
    if (!noicon) {
        const std::string_view key = entry.isDir ? std::string_view("dir") : ext;
        // A traced request shows every look-up.
        if (vv_tracing())
            out += get_icon(key);
        else
            out += icon_for(key);
    }
    if (entry.isDir) {
        std::string target(name);
        target += '/';
        append_link(out, target, name, "");
    } else {
        append_link(out, name, name, "");
    }
}
