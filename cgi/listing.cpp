// The two listing forms: plain (one preformatted line per entry) and table.
#include "cgi/corvane.h"

#include "cgi/number.h"
#include "cgi/path.h"
#include "cgi/row_template.h"

namespace {

constexpr std::uint32_t kDefaultNameWidth = 64;
constexpr std::size_t kSizeWidth = 9;

// A display key, or its default when the style leaves it empty.
std::string style_or(const Corvane& request, std::string_view key, std::string_view fallback) {
    std::string value = request.get_style(key);
    return value.empty() ? std::string(fallback) : value;
}

// date_cell sets `cell` to the first 16 bytes of the time text: date, hours
// and minutes.
void date_cell(const DirEntry& entry, std::string& cell) {
    cell.clear();
    entry.time.append_text(cell);
    cell.resize(16);
}

} // namespace

void Corvane::put_normal(std::string_view title, bool imode) {
    const bool noicon = parse_signed(get_style("noicon")) != 0;
    const std::string head = style_or(*this, imode ? "inhead" : "nhead", "<pre>");
    const RowTemplate row(style_or(*this, imode ? "inrow" : "nrow", "%n : %s : %d"));
    const std::string tail = style_or(*this, imode ? "intail" : "ntail", "</pre>");

    // Read signed and compared unsigned: negative widths count as large.
    auto fnlen = static_cast<std::uint32_t>(parse_signed(m_conf.get_string("index", "fnlen")));
    if (fnlen < 16 || fnlen > 4096)
        fnlen = kDefaultNameWidth;

    m_body.reserve(m_body.size() + m_fileList.size() * (row.size() + fnlen + 96) + 1024);
    m_body += str_htmlhead(title, imode);
    m_body += '\n';
    m_body += str_bodybegin(title, imode);
    m_body += '\n';
    m_body += head;
    m_body += '\n';

    // The cells are rebuilt in the same buffers for every entry.
    std::string nameCell, size, date;
    for (const DirEntry& entry : m_fileList) {
        const std::string_view name = path_file_name(entry.path);
        if (is_ignored(name))
            continue;
        nameCell.clear();
        append_name_cell(nameCell, entry, name, noicon);
        size = entry.isDir ? "&lt;DIR&gt;" : str_size(entry.size);
        if (!imode) {
            // Columns line up by bytes, as a double-byte character is two
            // columns wide; long names are never cut.
            if (name.size() < fnlen)
                nameCell.append(fnlen - name.size(), ' ');
            if (size.size() < kSizeWidth)
                size.insert(0, kSizeWidth - size.size(), ' ');
        }
        date_cell(entry, date);
        row.append(m_body, date, size, nameCell);
        m_body += '\n';
    }

    m_body += tail;
    m_body += '\n';
    append_listing_end(imode);
    send_response(m_nhFlag);
}

void Corvane::put_table(std::string_view title, bool imode) {
    const bool noicon = parse_signed(get_style("noicon")) != 0;
    const std::string table =
        style_or(*this, imode ? "itable" : "table", "<table border=0 cellspacing=2 cellpadding=2>");
    const std::string thead = get_style(imode ? "ithead" : "thead");
    const RowTemplate row(
        imode ? style_or(*this, "itrow", "<tr><td>%n</td><td>%s</td><td>%d</td></tr>")
              : style_or(*this, "trow",
                         "<tr><td>%n</td><td align=right width=\"10%\">%s</td>"
                         "<td align=right width=\"15%\">%d</td></tr>"));
    const std::string ttail = get_style(imode ? "ittail" : "ttail");

    m_body.reserve(m_body.size() + m_fileList.size() * (row.size() + 160) + 1024);
    m_body += str_htmlhead(title, imode);
    m_body += '\n';
    m_body += str_bodybegin(title, imode);
    m_body += "\n<center>\n";
    m_body += table;
    m_body += '\n';
    m_body += thead;
    m_body += '\n';

    std::string nameCell, date;
    for (const DirEntry& entry : m_fileList) {
        const std::string_view name = path_file_name(entry.path);
        if (is_ignored(name))
            continue;
        nameCell.clear();
        append_name_cell(nameCell, entry, name, noicon);
        date_cell(entry, date);
        row.append(m_body, date, entry.isDir ? " &lt;DIR&gt; " : str_size(entry.size), nameCell);
        m_body += '\n';
    }

    m_body += ttail;
    m_body += "\n</table>\n</center>\n";
    append_listing_end(imode);
    send_response(m_nhFlag);
}

void Corvane::append_listing_end(bool imode) {
    if (m_debugFlag && !m_debugText.empty()) {
        m_body += "<hr><pre>";
        m_body += m_debugText;
        m_body += "</pre>\n";
    }
    m_body += str_bodyend(imode);
    m_body += '\n';
}
