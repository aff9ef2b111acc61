// The two listing forms: plain (one preformatted line per entry) and table.
#include "cgi/corvane.h"

#include "cgi/listing_json.h"
#include "cgi/path.h"
#include "cgi/row_template.h"
#include "platform/text.h"
#include "runtime/number.h"
#include "runtime/trace.h"

#include <new>
#include <stdexcept>

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
void date_cell(const DirEntry& entry, const platform::LocalZone& zone, std::string& cell) {
    cell.clear();
    entry.time.append_minutes(cell, zone);
}

// reserve_page makes room in `body` for `rows` rows of about `rowSize` bytes
// each, the frame around them included. The room is a guess at what the page
// writes, never a need: when the system cannot give that much at once, the
// page grows as it is written instead.
void reserve_page(std::string& body, std::size_t rows, std::size_t rowSize) {
    try {
        body.reserve(body.size() + rows * rowSize + 1024);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
}

// composed runs `compose`, which appends a page to `body`, and tells whether
// the page fitted in the memory the process may take. When it did not (a
// folder's settings can ask for a page of gigabytes), `body` is emptied and
// its memory given back, so that the request can still be answered.
template <class Compose> bool composed(std::string& body, Compose compose) {
    try {
        compose();
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    std::string().swap(body);
    return false;
}

// send_listing sends a composed listing with status 200 and its access
// record. A listing that did not fit in memory is answered as a server error
// instead, with an empty message page, rather than by the end of the process.
void send_listing(Corvane& request, bool fits, bool noHeader, const vvTraceScope& trace,
                  std::string_view title, bool imode) {
    if (!fits) {
        if (vv_tracing())
            trace.print("The page does not fit in memory.");
        request.put_html("", title, "", 500, imode);
        return;
    }
    // With the visitor's options on, a client that has the page already
    // gets "304 Not Modified" instead of it.
    if (request.visitor_options())
        request.tag_response(request.env("HTTP_IF_NONE_MATCH"));
    request.write_log("", request.status());
    request.send_response(noHeader);
}

void trace_listing_args(const vvTraceScope& trace, std::string_view title, bool imode) {
    vv_dump_text(trace.label("Arg: title"), title);
    vv_dump_flag(trace.label("Arg: imode"), imode);
}

} // namespace

void Corvane::put_normal(std::string_view title, bool imode) {
    vvTraceScope trace("Corvane::put_normal");
    if (vv_tracing())
        trace_listing_args(trace, title, imode);
    const bool noicon = parse_signed(get_style("noicon")) != 0;
    const std::string head =
        with_option_fields(style_or(*this, imode ? "inhead" : "nhead", "<pre>"));
    const RowTemplate row(style_or(*this, imode ? "inrow" : "nrow", "%n : %s : %d"));
    const std::string tail =
        with_option_fields(style_or(*this, imode ? "intail" : "ntail", "</pre>"));
    if (vv_tracing()) {
        vv_dump_text(trace.label("nhead"), head);
        vv_dump_text(trace.label("nrow"), row.text());
        vv_dump_text(trace.label("ntail"), tail);
    }

    // Read signed and compared unsigned: negative widths count as large.
    auto fnlen = static_cast<std::uint32_t>(parse_signed(m_conf.get_string("index", "fnlen")));
    if (fnlen < 16 || fnlen > 4096)
        fnlen = kDefaultNameWidth;

    // The compact page fills no columns.
    const std::uint32_t nameWidth = imode ? 0 : fnlen;
    const bool fits = composed(m_body, [&] {
        reserve_page(m_body, m_fileList.size(), row.size() + nameWidth + 96);
        m_body += str_htmlhead(title, imode);
        m_body += '\n';
        m_body += str_bodybegin(title, imode);
        m_body += '\n';
        m_body += head;
        m_body += '\n';
        append_rows(trace, row, noicon, "&lt;DIR&gt;", nameWidth);
        m_body += tail;
        m_body += '\n';
        append_listing_end(imode);
    });
    send_listing(*this, fits, m_nhFlag, trace, title, imode);
}

void Corvane::put_table(std::string_view title, bool imode) {
    vvTraceScope trace("Corvane::put_table");
    if (vv_tracing())
        trace_listing_args(trace, title, imode);
    const bool noicon = parse_signed(get_style("noicon")) != 0;
    const std::string table =
        style_or(*this, imode ? "itable" : "table", "<table border=0 cellspacing=2 cellpadding=2>");
    const std::string thead = with_option_fields(get_style(imode ? "ithead" : "thead"));
    const RowTemplate row(
        imode ? style_or(*this, "itrow", "<tr><td>%n</td><td>%s</td><td>%d</td></tr>")
              : style_or(*this, "trow",
                         "<tr><td>%n</td><td align=right width=\"10%\">%s</td>"
                         "<td align=right width=\"15%\">%d</td></tr>"));
    const std::string ttail = with_option_fields(get_style(imode ? "ittail" : "ttail"));
    if (vv_tracing()) {
        vv_dump_text(trace.label("table"), table);
        vv_dump_text(trace.label("thead"), thead);
        vv_dump_text(trace.label("trow"), row.text());
        vv_dump_text(trace.label("ttail"), ttail);
    }

    const bool fits = composed(m_body, [&] {
        reserve_page(m_body, m_fileList.size(), row.size() + 160);
        m_body += str_htmlhead(title, imode);
        m_body += '\n';
        m_body += str_bodybegin(title, imode);
        m_body += "\n<center>\n";
        m_body += table;
        m_body += '\n';
        m_body += thead;
        m_body += '\n';
        append_rows(trace, row, noicon, " &lt;DIR&gt; ", 0);
        m_body += ttail;
        m_body += "\n</table>\n</center>\n";
        append_listing_end(imode);
    });
    send_listing(*this, fits, m_nhFlag, trace, title, imode);
}

void Corvane::put_json(std::string_view title) {
    vvTraceScope trace("Corvane::put_json");
    if (vv_tracing())
        vv_dump_text(trace.label("Arg: title"), title);
    m_contentType = "application/json; charset=utf-8";
    const bool fits = composed(m_body, [&] {
        reserve_page(m_body, m_fileList.size(), 160);
        m_body += "{\"path\":";
        append_json_string(m_body, m_scriptDir);
        m_body += ",\"entries\":[";
        const char* separator = "";
        std::string target, href;
        for (const DirEntry& entry : m_fileList) {
            const std::string_view name = path_file_name(entry.path);
            if (is_ignored(name, name_extension(name))) {
                trace.print("%s ignored.", std::string(name).c_str());
                continue;
            }
            m_body += separator;
            separator = ",";
            m_body += "{\"name\":";
            append_json_string(m_body, name);
            target.assign(name);
            if (entry.isDir)
                target += '/';
            href.clear();
            append_href(href, target);
            m_body += ",\"href\":";
            append_json_string(m_body, href);
            if (entry.isDir) {
                m_body += ",\"type\":\"dir\"";
            } else {
                m_body += ",\"type\":\"file\",\"size\":";
                m_body += std::to_string(entry.size);
            }
            m_body += ",\"mtime\":";
            append_json_time(m_body, entry.time);
            m_body += '}';
        }
        m_body += "]}\n";
    });
    if (!fits)
        m_contentType = "text/html";
    send_listing(*this, fits, m_nhFlag, trace, title, false);
}

void Corvane::append_rows(const vvTraceScope& trace, const RowTemplate& row, bool noicon,
                          std::string_view dirMarker, std::uint32_t nameWidth) {
    // The cells are rebuilt in the same buffers for every entry.
    std::string nameCell, size, date;
    const platform::LocalZone zone;
    for (const DirEntry& entry : m_fileList) {
        const std::string_view name = path_file_name(entry.path);
        const std::string_view ext = name_extension(name);
        if (is_ignored(name, ext)) {
            trace.print("%s ignored.", std::string(name).c_str());
            continue;
        }
        if (vv_tracing())
            vv_dump_text(trace.label("name"), name);
        nameCell.clear();
        append_name_cell(nameCell, entry, name, ext, noicon);
        if (entry.isDir)
            size = dirMarker;
        else
            size = str_size(entry.size);
        if (nameWidth != 0) {
            // Columns line up by display width: in Shift_JIS that is the
            // byte length, as a double-byte character is two columns wide.
            // Long names are never cut.
            const std::size_t width = platform::display_width(name);
            if (width < nameWidth)
                nameCell.append(nameWidth - width, ' ');
            if (size.size() < kSizeWidth)
                size.insert(0, kSizeWidth - size.size(), ' ');
        }
        date_cell(entry, zone, date);
        const std::size_t rowStart = m_body.size();
        row.append(m_body, date, size, nameCell);
        if (vv_tracing()) {
            vv_dump_text(trace.label("link"), nameCell);
            vv_dump_text(trace.label("size"), size);
            vv_dump_text(trace.label("timestamp"), date);
            vv_dump_text(trace.label("row"), std::string_view(m_body).substr(rowStart));
        }
        m_body += '\n';
    }
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
