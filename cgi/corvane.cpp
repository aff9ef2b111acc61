// Request setup and the choice of response.
#include "cgi/corvane.h"

#include "cgi/dir_scan.h"
#include "cgi/entry_sort.h"
#include "cgi/html.h"
#include "cgi/option_fields.h"
#include "cgi/path.h"
#include "platform/clock.h"
#include "platform/common/ascii.h"
#include "platform/process_run.h"
#include "platform/text.h"
#include "runtime/log.h"
#include "runtime/number.h"
#include "runtime/trace.h"

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

// charset_of reads the value of "charset": "UTF-8" (in any case) selects
// UTF-8; every other value, "Shift_JIS", "CP932", "Windows-31J" and a missing
// one among them, keeps Shift_JIS.
platform::Charset charset_of(std::string_view value) {
    return platform::ascii::equal_no_case(value, "UTF-8") ? platform::Charset::utf8
                                                          : platform::Charset::shift_jis;
}

// report_text is `text` as the debug report shows it, inside "<pre>": "&",
// "<" and ">" as entities and a tab or form feed as it is; every other control
// byte, which HTML does not allow, and a line break, which would split the
// report's line, as "?" (escape_html).
std::string report_text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (;;) {
        // Neither byte is ever part of a double-byte character.
        const std::size_t blank = text.find_first_of("\t\f");
        append_escaped_html(out, text.substr(0, blank));
        if (blank == std::string_view::npos)
            return out;
        out += text[blank];
        text.remove_prefix(blank + 1);
    }
}

} // namespace

Corvane::Corvane(std::string_view ini, std::string_view conf, bool nhFlag, std::FILE* out)
    : CgiResponse(out, "text/html"), m_conf(ini, KeyOrder::no_case), m_nhFlag(nhFlag) {
    vvTraceScope trace("Corvane::Corvane");
    if (vv_tracing()) {
        vv_dump_text(trace.label("Arg: ini"), ini);
        vv_dump_text(trace.label("Arg: conf"), conf);
        vv_dump_flag(trace.label("Arg: nhFlag"), nhFlag);
    }
    // Only the common settings file can switch the report on: the folder
    // settings file is not loaded yet.
    m_debugFlag = m_conf.get_number("index", "debug", 0) != 0;
    if (vv_tracing())
        vv_dump_flag(trace.label("m_debugFlag"), m_debugFlag);
    // The character set, like the report, is the common settings file's
    // alone. The store orders its keys by the text layer, so a switch reads
    // the common file again under the new order.
    const platform::Charset charset = charset_of(m_conf.get_string("index", "charset"));
    if (vv_tracing())
        vv_dump_flag(trace.label("utf8"), charset == platform::Charset::utf8);
    if (charset != platform::text_charset()) {
        platform::set_text_charset(charset);
        m_conf = IniFile(ini, KeyOrder::no_case);
    }
    if (m_debugFlag)
        start_debug_report();
    // Like the character set, the administrator's alone: whether a log
    // location from the folder (its "log", its vv.path) may lead out of it.
    vv_set_folder_logs(m_conf.get_number("index", "folderlogs", 0) != 0);
    m_commonLog = m_conf.get_string("index", "log");

    m_conf.load(conf);
    if (vv_tracing())
        vv_dump_form(trace.label("m_conf"), m_conf.dump());
    if (m_debugFlag)
        debug_settings_section();

    build_ignore_lists(ini, conf);
    if (vv_tracing()) {
        vv_dump_form(trace.label("m_ignName"), dump_names(m_ignName));
        vv_dump_form(trace.label("m_ignExt"), dump_names(m_ignExt));
    }
    if (m_debugFlag)
        debug_ignore_lists();

    scan_dir(m_fileList, true, true, "*.*");
    if (vv_tracing())
        trace.print("%s = %u", "m_fileList.size()", static_cast<unsigned>(m_fileList.size()));
    if (m_debugFlag)
        debug_file_list();
    // The visitor may choose among the orders the settings can name, and
    // narrow the list; without the switch the query string is not read.
    m_visitorOptions = parse_signed(get_style("visitor")) != 0;
    if (m_visitorOptions)
        m_options = parse_request_options(env("QUERY_STRING"));
    m_sortKey = get_style("sort");
    if (m_options.column != 0)
        m_sortKey = sort_key_of(m_options.column, m_options.descending);
    if (vv_tracing())
        vv_dump_text(trace.label("sort: key"), m_sortKey);
    sort_entries(m_fileList, m_sortKey, m_conf);
    if (!m_options.query.empty())
        keep_matching_names();

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
    debug_line("  SERVER_NAME = " + report_text(env("SERVER_NAME")));
    debug_line("  HTTP_USER_AGENT = " + report_text(env("HTTP_USER_AGENT")));
    if (!env("HTTP_REFERER").empty())
        debug_line("  HTTP_REFERER = " + report_text(env("HTTP_REFERER")));
    if (!env("REMOTE_HOST").empty())
        debug_line("  REMOTE_HOST = " + report_text(env("REMOTE_HOST")));
    debug_line("  REMOTE_ADDR = " + report_text(env("REMOTE_ADDR")));
    debug_line("  SCRIPT_NAME = " + report_text(env("SCRIPT_NAME")));
    debug_line("");
}

void Corvane::debug_settings_section() {
    debug_line("[ini+config(index)]");
    for (const auto& [key, value] : m_conf.get_section("index").entries)
        debug_line("  " + report_text(key) + "=" + report_text(value));
    debug_line("");
}

void Corvane::build_ignore_lists(std::string_view ini, std::string_view conf) {
    for (const char* name : kDefaultIgnoreNames)
        add_ignore(name);
    const std::string_view iniName = path_file_name(ini);
    add_ignore(iniName);
    add_ignore(path_change_extension(iniName, ".exe"));
    // The program's own file under the name it has here: "Dirvane" where
    // programs have no extension.
    add_ignore(std::string(name_base(iniName)) + std::string(platform::executable_suffix()));
    add_ignore(path_file_name(conf));

    for (const char* ext : kDefaultIgnoreExtensions)
        add_ignore(ext);

    // Dot-files (.env, .git) are hidden by convention on Linux; a key of
    // its own, as an "[ignore]" key starting with "." names an extension.
    m_ignDot = m_conf.get_number("index", "ignoredot", 0) != 0;

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
        debug_line("  " + report_text(name));
    debug_line("");
    debug_line("[ignore(ext)]");
    for (const std::string& ext : m_ignExt)
        debug_line("  " + report_text(ext));
    debug_line("");
}

void Corvane::debug_file_list() {
    debug_line("[files]");
    for (const DirEntry& e : m_fileList) {
        const std::string size = e.isDir ? "(DIR)" : str_size(e.size);
        debug_line("  " + report_text(path_file_name(e.path)) + " : " + size + " : " +
                   e.time.to_text());
    }
    debug_line("");
}

void Corvane::keep_matching_names() {
    const std::vector<unsigned> query = folded_codes(m_options.query);
    std::vector<DirEntry> kept;
    kept.reserve(m_fileList.size());
    for (DirEntry& entry : m_fileList) {
        if (name_contains(folded_codes(path_file_name(entry.path)), query))
            kept.push_back(std::move(entry));
    }
    m_fileList = std::move(kept);
}

namespace {

// head_of packs the first two characters of `text`, folded as the lists
// compare them, into one number. Texts that the lists take for equal have
// equal heads.
std::uint64_t head_of(std::string_view text) {
    std::uint64_t head = 0;
    std::size_t pos = 0;
    for (int k = 0; k < 2; ++k) {
        head <<= 32;
        if (pos >= text.size()) {
            head |= 0xFFFFFFFFu; // no character: no code is this
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte < 0x80) {
            // Below 0x80 both character sets fold only the capitals A-Z.
            head |= platform::ascii::lower(byte);
            ++pos;
            continue;
        }
        std::size_t length = 1;
        const unsigned code = platform::char_code(text, pos, &length);
        head |= platform::fold_case(code);
        pos += length == 0 ? 1 : length;
    }
    return head;
}

template <class Set> void collect_heads(const Set& set, std::vector<std::uint64_t>& heads) {
    heads.clear();
    for (const std::string& text : set)
        heads.push_back(head_of(text));
}

bool has_head(const std::vector<std::uint64_t>& heads, std::uint64_t head) {
    for (const std::uint64_t h : heads) {
        if (h == head)
            return true;
    }
    return false;
}

} // namespace

void Corvane::add_ignore(std::string_view text) {
    // A lone "." names nothing.
    if (text.empty() || text == ".")
        return;
    const bool ext = text.front() == '.';
    NameSet& set = ext ? m_ignExt : m_ignName;
    if (set.emplace(text).second)
        (ext ? m_ignExtHeads : m_ignNameHeads).push_back(head_of(text));
}

void Corvane::remove_ignore(std::string_view text) {
    if (text.empty() || text == ".")
        return;
    const bool ext = text.front() == '.';
    NameSet& set = ext ? m_ignExt : m_ignName;
    if (const auto it = set.find(text); it != set.end()) {
        set.erase(it);
        collect_heads(set, ext ? m_ignExtHeads : m_ignNameHeads);
    }
}

bool Corvane::is_ignored(std::string_view fileName) const {
    return is_ignored(fileName, path_extension(fileName));
}

bool Corvane::is_ignored(std::string_view fileName, std::string_view ext) const {
    if (m_ignDot && !fileName.empty() && fileName.front() == '.')
        return true;
    if (has_head(m_ignNameHeads, head_of(fileName)) && m_ignName.count(fileName) != 0)
        return true;
    return !ext.empty() && has_head(m_ignExtHeads, head_of(ext)) && m_ignExt.count(ext) != 0;
}

void Corvane::put(std::string_view title) {
    vvTraceScope trace("Corvane::put");
    if (vv_tracing())
        vv_dump_text(trace.label("Arg: title"), title);
    const std::int32_t nolist = parse_signed(get_style("nolist"));
    const std::int32_t usetable = parse_signed(get_style("usetable"));
    const std::int32_t imode = parse_signed(get_style("imode"));
    // Compared as unsigned: a negative code counts as large.
    auto code = static_cast<std::uint32_t>(parse_signed(get_style("result")));
    if (vv_tracing()) {
        vv_dump_signed(trace.label("nolist"), nolist);
        vv_dump_signed(trace.label("table"), usetable);
        vv_dump_signed(trace.label("imode"), imode);
        vv_dump_unsigned(trace.label("code"), code);
    }

    if (nolist == 0 && code == 0) {
        if (m_visitorOptions && !m_options.formatGiven)
            vary_on_accept();
        if (m_visitorOptions && wants_json())
            put_json(title);
        else if (usetable != 0)
            put_table(title, imode != 0);
        else
            put_normal(title, imode != 0);
        return;
    }
    if (code == 0 || code > 999)
        code = 200;
    put_html(get_style(imode != 0 ? "ihtml" : "html"), title, "", code, imode != 0);
}

std::string Corvane::with_option_fields(std::string text) const {
    if (text.find("%{") == std::string::npos)
        return text;
    ListingState state;
    state.visitorOptions = m_visitorOptions;
    state.column = column_of_sort_key(m_sortKey, state.descending);
    state.query = m_options.query;
    for (const DirEntry& entry : m_fileList) {
        if (!is_ignored(path_file_name(entry.path)))
            ++state.count;
    }
    return expand_option_fields(text, state);
}

bool Corvane::wants_json() const {
    return m_options.formatGiven ? m_options.json : accept_prefers_json(env("HTTP_ACCEPT"));
}

void Corvane::put_html(std::string_view text, std::string_view title, std::string_view msg,
                       std::uint32_t code, bool imode) {
    vvTraceScope trace("Corvane::put_html");
    if (vv_tracing()) {
        vv_dump_text(trace.label("Arg: title"), title);
        vv_dump_unsigned(trace.label("Arg: code"), code);
        vv_dump_flag(trace.label("Arg: imode"), imode);
    }
    m_status = code;
    m_body += str_htmlhead(title, imode);
    m_body += '\n';
    m_body += text;
    m_body += "\n</html>\n";
    write_log(msg, code);
    send_response(m_nhFlag);
}

namespace {

// kLogValueLimit bounds each request value in an access log record, so that
// every record fits the log's line limit.
constexpr std::size_t kLogValueLimit = 1024;

// log_value makes a request value safe for its record: control bytes become
// "_", so that one request is always one line, and a value longer than the
// limit is cut at a character boundary and marked with "...".
std::string log_value(std::string_view value) {
    std::string out;
    std::size_t i = 0;
    while (i < value.size()) {
        const std::size_t n = platform::char_length(value, i);
        if (i + n > kLogValueLimit) {
            out += "...";
            break;
        }
        for (std::size_t k = 0; k < n; ++k) {
            const auto c = static_cast<unsigned char>(value[i + k]);
            out += c < 0x20 || c == 0x7F ? '_' : static_cast<char>(c);
        }
        i += n;
    }
    return out;
}

const vvLogTags kNoTags{};

} // namespace

void Corvane::write_log(std::string_view msg, std::uint32_t code) {
    vvTraceScope trace("Corvane::write_log");
    if (vv_tracing()) {
        vv_dump_text(trace.label("Arg: msg"), msg);
        vv_dump_unsigned(trace.label("Arg: code"), code);
    }
    const std::string logName = m_conf.get_string("index", "log");
    if (vv_tracing())
        vv_dump_text(trace.label("logName"), logName);
    if (logName.empty())
        return;

    const std::string dir = log_value(m_scriptDir);
    const std::string style = log_value(m_conf.get_string("index", "style"));
    const std::string from = log_value(env("REMOTE_ADDR"));
    const std::string host = log_value(env("REMOTE_HOST"));
    const std::string referer = log_value(env("HTTP_REFERER"));
    const std::string agent = log_value(env("HTTP_USER_AGENT"));
    const std::string message(msg);
    char codeText[16];
    std::snprintf(codeText, sizeof codeText, "%03lu", static_cast<unsigned long>(code));
    const std::string record = "DIR=" + dir + ", STYLE=" + style + ", FROM=" + from + "(" + host +
                               "), REFERER=" + referer + ", AGENT=" + agent + ", CODE=" + codeText +
                               message;
    if (m_holdRecords) {
        m_heldRecords.emplace_back(logName, record);
        return;
    }
    write_access_record(logName, record);
}

void Corvane::write_held_access_records() {
    for (const auto& [logName, record] : m_heldRecords)
        write_access_record(logName, record);
    m_heldRecords.clear();
}

void Corvane::write_access_record(const std::string& logName, const std::string& record) const {
    // After the time-out no record is written.
    hold_if_output_stopped();
    // A template from the folder settings file stays inside the folder, and
    // so does a relative one from the common settings file. One record is
    // written on this thread: a request starts no thread for it.
    vvLog log(logName, 0, lvINFO, kNoTags, true, true, false, "\r\n",
              logName != m_commonLog ? vvLogOrigin::folder : vvLogOrigin::administrator,
              vvLogWriting::calling_thread);
    hold_if_output_stopped();
    log.info("%s", record.c_str());
}
