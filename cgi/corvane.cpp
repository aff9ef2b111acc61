// Request setup and the choice of response.
#include "cgi/corvane.h"

#include "cgi/dir_scan.h"
#include "cgi/entry_sort.h"
#include "cgi/html.h"
#include "cgi/number.h"
#include "cgi/path.h"
#include "platform/io.h"

namespace {

constexpr const char* kDefaultIgnoreNames[] = {
    "index.html",
    "pagefile.sys",
    "RECYCLER",
    "Thumbs.db",
    "vv.path",
    "System Volume Information",
    "Temporary Internet Files",
    "Documents and Settings",
    "Program Files",
};

constexpr const char* kDefaultIgnoreExtensions[] = {".index", ".bak", ".log", ".obj", ".bin"};

// A switch of the style: a number with base prefixes, non-zero is on.
bool style_flag(const std::string& value) { return parse_signed(value) != 0; }

} // namespace

Corvane::Corvane(std::string_view ini, std::string_view conf, bool nhFlag, std::FILE* out)
    : CgiResponse(out, "text/html"), m_conf(ini, KeyOrder::no_case), m_nhFlag(nhFlag) {
    // Only the common settings file can switch the report on: the folder
    // settings file is not loaded yet.
    m_debugFlag = m_conf.get_number("index", "debug", 0) != 0;
    if (m_debugFlag)
        start_debug_report();

    m_conf.load(conf);
    if (m_debugFlag)
        debug_settings_section();

    build_ignore_lists(ini, conf);
    if (m_debugFlag)
        debug_ignore_lists();

    scan_dir(m_fileList, true, true, "*.*");
    if (m_debugFlag)
        debug_file_list();
    sort_entries(m_fileList, get_style("sort"), m_conf);

    const std::string& scriptName = env("SCRIPT_NAME");
    const std::size_t slash = scriptName.rfind('/');
    if (slash != std::string::npos)
        m_scriptDir = scriptName.substr(0, slash + 1);

    m_iconPath = m_conf.get_string("icon", "path");
    if (!m_iconPath.empty() && m_iconPath.back() != '/')
        m_iconPath += '/';
}

// The report opens with the time to the second and two empty lines, then the
// request's environment. Every value from the client is escaped: the report
// is part of the page.
void Corvane::start_debug_report() {
    std::int64_t seconds = 0;
    std::int32_t microseconds = 0;
    platform::current_time(seconds, microseconds);
    const std::string now = TimeValue::make(seconds, microseconds).to_text().substr(0, 19);
    debug_line(now + "\n");
    debug_line("");
    debug_line("[env]");
    debug_line("  SERVER_NAME = " + escaped_html(env("SERVER_NAME")));
    debug_line("  HTTP_USER_AGENT = " + escaped_html(env("HTTP_USER_AGENT")));
    if (!env("HTTP_REFERER").empty())
        debug_line("  HTTP_REFERER = " + escaped_html(env("HTTP_REFERER")));
    if (!env("REMOTE_HOST").empty())
        debug_line("  REMOTE_HOST = " + escaped_html(env("REMOTE_HOST")));
    debug_line("  REMOTE_ADDR = " + escaped_html(env("REMOTE_ADDR")));
    debug_line("  SCRIPT_NAME = " + escaped_html(env("SCRIPT_NAME")));
    debug_line("");
}

void Corvane::debug_settings_section() {
    debug_line("[ini+config(index)]");
    for (const auto& [key, value] : m_conf.get_section("index").entries)
        debug_line("  " + escaped_html(key) + "=" + escaped_html(value));
    debug_line("");
}

void Corvane::build_ignore_lists(std::string_view ini, std::string_view conf) {
    for (const char* name : kDefaultIgnoreNames)
        add_ignore(name);
    const std::string_view iniName = path_file_name(ini);
    add_ignore(iniName);
    add_ignore(path_change_extension(iniName, ".exe"));
    add_ignore(path_file_name(conf));

    for (const char* ext : kDefaultIgnoreExtensions)
        add_ignore(ext);

    // "name=1" hides a name or extension, "name=0" shows it again.
    for (const auto& [key, value] : m_conf.get_section("ignore").entries) {
        if (parse_signed(value) != 0)
            add_ignore(key);
        else
            remove_ignore(key);
    }
}

void Corvane::debug_ignore_lists() {
    debug_line("[ignore(name)]");
    for (const std::string& name : m_ignName)
        debug_line("  " + escaped_html(name));
    debug_line("");
    debug_line("[ignore(ext)]");
    for (const std::string& ext : m_ignExt)
        debug_line("  " + escaped_html(ext));
    debug_line("");
}

void Corvane::debug_file_list() {
    debug_line("[files]");
    for (const DirEntry& e : m_fileList) {
        const std::string size = e.isDir ? "(DIR)" : str_size(e.size);
        debug_line("  " + escaped_html(path_file_name(e.path)) + " : " + size + " : " +
                   e.time.to_text());
    }
    debug_line("");
}

void Corvane::add_ignore(std::string_view text) {
    // A lone "." names nothing.
    if (text.empty() || text == ".")
        return;
    NameSet& set = text.front() == '.' ? m_ignExt : m_ignName;
    if (set.find(text) == set.end())
        set.emplace(text);
}

void Corvane::remove_ignore(std::string_view text) {
    if (text.empty() || text == ".")
        return;
    NameSet& set = text.front() == '.' ? m_ignExt : m_ignName;
    if (const auto it = set.find(text); it != set.end())
        set.erase(it);
}

bool Corvane::is_ignored(std::string_view fileName) const {
    if (m_ignName.count(fileName) != 0)
        return true;
    const std::string_view ext = path_extension(fileName);
    return !ext.empty() && m_ignExt.count(ext) != 0;
}

void Corvane::put(std::string_view title) {
    const bool nolist = style_flag(get_style("nolist"));
    const bool usetable = style_flag(get_style("usetable"));
    const bool imode = style_flag(get_style("imode"));
    // Compared as unsigned: a negative code counts as large.
    auto code = static_cast<std::uint32_t>(parse_signed(get_style("result")));

    if (!nolist && code == 0) {
        if (usetable)
            put_table(title, imode);
        else
            put_normal(title, imode);
        return;
    }
    if (code == 0 || code > 999)
        code = 200;
    put_html(get_style(imode ? "ihtml" : "html"), title, "", code, imode);
}

void Corvane::put_html(std::string_view text, std::string_view title, std::string_view msg,
                       std::uint32_t code, bool imode) {
    (void)msg; // the text for the access log record
    m_status = code;
    m_body += str_htmlhead(title, imode);
    m_body += '\n';
    m_body += text;
    m_body += "\n</html>\n";
    send_response(m_nhFlag);
}
