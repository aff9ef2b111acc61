// Corvane: the request object. Its constructor prepares the whole request
// (settings, debug report, ignore lists, the sorted entry list, script and
// icon folders); put() then writes the listing or a message page.
#pragma once

#include "cgi/cgi_response.h"
#include "cgi/dir_entry.h"
#include "cgi/ini_file.h"
#include "cgi/mbstring.h"
#include "cgi/request_options.h"
#include "cgi/text_map.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class RowTemplate;

// append_href appends the href a listing writes for `target`: its URL path
// form, with "./" in front when it would read as a scheme.
void append_href(std::string& out, std::string_view target);
class vvTraceScope;

class Corvane : public CgiResponse {
  public:
    // `ini` is the common settings file, `conf` the folder settings file;
    // with `nhFlag` the response is written without CGI header.
    Corvane(std::string_view ini, std::string_view conf, bool nhFlag, std::FILE* out);
    ~Corvane() override = default;

    // put chooses and writes the response: the plain or the table listing, or
    // the message page of "html"/"ihtml" with the status of "result".
    void put(std::string_view title);

    // put_html writes a message page: the page head, `text` and "</html>".
    void put_html(std::string_view text, std::string_view title, std::string_view msg,
                  std::uint32_t code, bool imode);

    // put_normal writes the plain listing: one preformatted line per entry.
    void put_normal(std::string_view title, bool imode);

    // put_table writes the table listing: one table row per entry.
    void put_table(std::string_view title, bool imode);

    // put_json writes the listing as JSON: the folder's path and, in the
    // listing's order, each entry's name, href, type, size and time.
    void put_json(std::string_view title);

    // wants_json tells whether the visitor asked for the JSON form: by
    // "format", else by an Accept header that prefers it.
    bool wants_json() const;

    // write_log appends the request's record to the access log named by
    // "log" (none when it is empty).
    void write_log(std::string_view msg, std::uint32_t code);

    // hold_access_records makes write_log keep the records it composes, for
    // write_held_access_records to write: a FastCGI child writes them once
    // the response has gone out, so that the web server does not wait on
    // the log.
    void hold_access_records() { m_holdRecords = true; }
    void write_held_access_records();

    // get_style returns display key `name` from the user agent's variant of
    // the style, the style, or section "index"; "" when none has it.
    std::string get_style(std::string_view name, std::string_view style = {}) const;

    // Page frame pieces.
    std::string str_title(bool link, bool imode) const;
    std::string str_htmlhead(std::string_view title, bool imode) const;
    std::string str_bodybegin(std::string_view title, bool imode) const;
    std::string str_bodyend(bool imode) const;

    // Entry fields.
    std::string str_link(std::string_view target, std::string_view name,
                         std::string_view anchor) const;
    std::string get_icon(std::string_view key) const;
    static std::string str_size(std::uint64_t size);

    // Ignore lists: add_ignore/remove_ignore route ".ext" texts to the
    // extension list and other texts to the name list; "ignoredot" of
    // section "index" hides every name that starts with "." as well.
    void add_ignore(std::string_view text);
    void remove_ignore(std::string_view text);
    bool is_ignored(std::string_view fileName) const;
    // The same for a name whose extension (path_extension) is known.
    bool is_ignored(std::string_view fileName, std::string_view ext) const;

    // The visitor's options of this request: all unset unless the style
    // switches "visitor" on.
    const RequestOptions& options() const { return m_options; }
    bool visitor_options() const { return m_visitorOptions; }

    // with_option_fields returns a template with its sort link and search
    // form fields (expand_option_fields) filled in for this listing.
    std::string with_option_fields(std::string text) const;

    const IniFile& conf() const { return m_conf; }
    const std::vector<DirEntry>& file_list() const { return m_fileList; }
    const std::string& script_dir() const { return m_scriptDir; }
    const std::string& icon_path() const { return m_iconPath; }
    bool debug_flag() const { return m_debugFlag; }
    const std::string& debug_text() const { return m_debugText; }

  private:
    using NameSet = std::set<std::string, NoCaseLess>;

    void start_debug_report();
    void debug_settings_section();
    void build_ignore_lists(std::string_view ini, std::string_view conf);
    void debug_ignore_lists();
    void debug_file_list();
    // keep_matching_names drops the entries whose names do not contain the
    // visitor's filter text.
    void keep_matching_names();

    // append_link appends the anchor element that str_link returns.
    void append_link(std::string& out, std::string_view target, std::string_view name,
                     std::string_view anchor) const;
    // append_name_cell appends an entry's icon (unless `noicon`) and link;
    // `ext` is the extension of `name`.
    void append_name_cell(std::string& out, const DirEntry& entry, std::string_view name,
                          std::string_view ext, bool noicon) const;
    // icon_for is get_icon's answer (untraced), kept for the rest of the
    // request.
    const std::string& icon_for(std::string_view key) const;
    // write_access_record writes `record` to the access log `logName`.
    void write_access_record(const std::string& logName, const std::string& record) const;
    // append_rows appends one row per entry that is not ignored; folders show
    // `dirMarker` as their size, and a `nameWidth` other than 0 fills the
    // name and size cells into columns.
    void append_rows(const vvTraceScope& trace, const RowTemplate& row, bool noicon,
                     std::string_view dirMarker, std::uint32_t nameWidth);
    // The page tail shared by both listings: debug report and body end.
    void append_listing_end(bool imode);

    IniFile m_conf;
    NameSet m_ignName;
    NameSet m_ignExt;
    // The first two characters (folded) of every member of each list: a
    // name whose own two differ from all of them is in neither, which
    // settles most names without a look-up.
    std::vector<std::uint64_t> m_ignNameHeads;
    std::vector<std::uint64_t> m_ignExtHeads;
    // Names starting with "." are hidden (off unless the settings ask).
    bool m_ignDot = false;
    std::vector<DirEntry> m_fileList;
    std::string m_scriptDir;
    // The access log's template as the common settings file gives it: a
    // different value comes from the folder settings file.
    std::string m_commonLog;
    // The records write_log composed while records are held, each with the
    // access log's template it goes to.
    bool m_holdRecords = false;
    std::vector<std::pair<std::string, std::string>> m_heldRecords;
    std::string m_iconPath;
    // get_icon's answers by key: the settings do not change during a
    // request, and most entries share a handful of extensions.
    mutable TextMap<std::string> m_iconByKey;
    // The last answer of icon_for: a sorted folder holds runs of one extension.
    mutable std::string m_lastIconKey;
    mutable const std::string* m_lastIcon = nullptr;
    bool m_nhFlag;
    bool m_visitorOptions = false;
    RequestOptions m_options;
    // The order the list is in: the visitor's, else the settings' "sort".
    std::string m_sortKey;
};
