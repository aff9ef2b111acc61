// The texts of one listing row: link, icon, size and the row template.
#include "cgi/corvane.h"

#include "cgi/html.h"
#include "cgi/number.h"
#include "cgi/path.h"
#include "platform/fs.h"
#include "runtime/url.h"


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

std::string Corvane::str_link(std::string_view target, std::string_view name,
                              std::string_view anchor) const {
    std::string href = url_path(target);
    std::string link = "<a href=\"";
    if (reads_as_scheme(href))
        link += "./";
    link += href;
    if (!anchor.empty()) {
        link += '#';
        link += url_path(anchor);
    }
    link += "\">";
    link += escaped_html(name.empty() ? target : name);
    link += "</a>";
    return link;
}

std::string Corvane::get_icon(std::string_view key) const {
    std::string value = m_conf.get_string("icon", key);
    if (value.empty())
        value = m_conf.get_string("icon", "default");
    if (value.empty())
        return {};
    const std::uint32_t height = parse_unsigned(m_conf.get_string("icon", "height"));
    std::string icon = "<img ";
    if (height != 0)
        icon += "height=" + std::to_string(height) + " ";
    icon += "src=\"";
    icon += url_path(m_iconPath + value);
    icon += "\">";
    return icon;
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
    return std::to_string(number) + unit;
}

std::string Corvane::name_cell(const DirEntry& entry, std::string_view name, bool noicon) const {
    std::string cell;
    if (!noicon)
        cell = get_icon(entry.isDir ? std::string_view("dir") : path_extension(name));
    std::string target(name);
    if (entry.isDir)
        target += '/';
    cell += str_link(target, name, "");
    return cell;
}
