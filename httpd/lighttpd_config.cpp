// lighttpd configuration: registry values in, configuration text out.
#include "httpd/lighttpd_config.h"

#include "tool/registry_schema.h"

#include <optional>

namespace {

// Content types of the files served as they are; everything else goes out
// as application/octet-stream.
constexpr std::string_view content_types[][2] = {
    {".html", "text/html"},      {".htm", "text/html"},
    {".txt", "text/plain"},      {".md", "text/plain"},
    {".csv", "text/csv"},        {".css", "text/css"},
    {".js", "text/javascript"},  {".json", "application/json"},
    {".xml", "application/xml"}, {".pdf", "application/pdf"},
    {".zip", "application/zip"}, {".gz", "application/gzip"},
    {".gif", "image/gif"},       {".png", "image/png"},
    {".jpg", "image/jpeg"},      {".jpeg", "image/jpeg"},
    {".svg", "image/svg+xml"},   {".ico", "image/vnd.microsoft.icon"},
    {".webp", "image/webp"},     {".mp3", "audio/mpeg"},
    {".mp4", "video/mp4"},       {"", "application/octet-stream"},
};

} // namespace

ServerBindings read_server_bindings(const platform::RegistryStore& store) {
    ServerBindings bindings;
    const std::string list = store.read_text(anhttpd_index_key, anhttpd_index_list).value_or("");
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos) {
            comma = list.size();
        }
        if (comma > start) {
            bindings.indexNames.push_back(list.substr(start, comma - start));
        }
        start = comma + 1;
    }
    for (const std::string& ext : store.value_names(anhttpd_names_key).value_or({})) {
        if (store.read_number(anhttpd_attrs_key, ext).value_or(0) != anhttpd_cgi_attributes) {
            continue;
        }
        std::string program = store.read_text(anhttpd_names_key, ext).value_or("");
        if (!program.empty()) {
            bindings.programs.push_back(CgiBinding{ext, std::move(program)});
        }
    }
    return bindings;
}

bool lighttpd_string(std::string_view text, std::string& out) {
    out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x20 || b == 0x7F) {
            return false;
        }
        if (text[i] == '\\' && (i + 1 == text.size() || text[i + 1] == '"')) {
            return false;
        }
        if (text[i] == '"') {
            out += '\\';
        }
        out += text[i];
    }
    out += '"';
    return true;
}

platform::Outcome<std::string> lighttpd_config(const ServerSite& site,
                                               const ServerBindings& bindings) {
    std::string out;
    std::optional<platform::Failure> failure;
    std::string quoted;
    const auto put_string = [&](std::string_view what, std::string_view text) {
        if (!lighttpd_string(text, quoted)) {
            failure = platform::Failure{"", "",
                                        std::string(what) +
                                            " cannot be written into lighttpd's configuration "
                                            "(a backslash before a double quote or at the end, "
                                            "or a control character): " +
                                            std::string(text)};
            return false;
        }
        out += quoted;
        return true;
    };

    out = "# lighttpd configuration written by dirvane-httpd at each start from the\n"
          "# registry ";
    out += site.registryPath;
    out += "\n# (changes made here are lost at the next start).\n\n"
           "# Only the modules that the index pages need: no directory listing, so a\n"
           "# folder without an index document is not listed.\n"
           "server.compat-module-load = \"disable\"\n"
           "server.modules = (\"mod_indexfile\", \"mod_access\"";
    if (!bindings.programs.empty()) {
        out += site.fastcgi ? ", \"mod_fastcgi\"" : ", \"mod_cgi\"";
    }
    out += ", \"mod_staticfile\")\n\nserver.document-root = ";
    if (!put_string("The document root", site.documentRoot)) {
        return *failure;
    }
    out += "\nserver.bind = \"127.0.0.1\"\nserver.port = " + std::to_string(site.port) +
           "\nserver.errorlog = ";
    if (!put_string("The state folder", site.stateFolder + "/error.log")) {
        return *failure;
    }
    out += "\nserver.upload-dirs = (";
    if (!put_string("The state folder", site.stateFolder + "/tmp")) {
        return *failure;
    }
    out += ")\n";
    if (!site.userName.empty()) {
        out += "# Started as root: after binding the port, lighttpd and every program it\n"
               "# runs work as this account.\nserver.username = ";
        if (!put_string("The user name", site.userName)) {
            return *failure;
        }
        if (!site.groupName.empty()) {
            out += "\nserver.groupname = ";
            if (!put_string("The group name", site.groupName)) {
                return *failure;
            }
        }
        out += "\n";
    }
    out += "\n"
           "# File names are bytes (Shift_JIS among them): let a request name any\n"
           "# byte, also one that is never part of UTF-8 (%FA, the second byte of\n"
           "# many Shift_JIS characters). Every other check stays on; \"..\" segments\n"
           "# are still removed, so no request leaves the document root.\n"
           "server.http-parseopts = (\"url-invalid-utf8-reject\" => \"disable\")\n\n";
    out += site.followSymlinks
               ? "# --follow-symlinks: a symbolic link may lead out of the document root.\n"
                 "server.follow-symlink = \"enable\"\n\n"
               : "# No path through a symbolic link is opened, so none leads out of the\n"
                 "# document root (--follow-symlinks allows them).\n"
                 "server.follow-symlink = \"disable\"\n\n";
    // Settings, logs and what the listing hides by default are never handed
    // out. url.access-deny compares letter case exactly, while the listing
    // hides these endings in any case: the condition below denies every
    // other spelling (NOTES.LOG, Site.Ini), also with a path-info after the
    // name (/NOTES.LOG/x, which lighttpd serves as the file NOTES.LOG) and
    // as a folder's name (logs.log/). The condition sees the request's own
    // path, not the index document a folder request resolves to: a folder
    // settings file runs the program only as its folder's page, never when
    // a request names it (other.index would list the folder with settings
    // the visitor chose). The plain list covers the index document, and
    // takes .index too when no program is bound to it (the file then holds
    // only the folder owner's settings).
    bool indexBound = false;
    for (const CgiBinding& b : bindings.programs) {
        indexBound = indexBound || b.extension == ".index";
    }
    out += "# Settings, logs and the files the listing hides: 403, in any letter case.\n"
           "url.access-deny = (\".ini\", \".bak\", \".log\", \".obj\", \".bin\", "
           "\"vv.path\", \"vv.nolog\"";
    out += indexBound ? ")\n" : ", \".index\")\n";
    out += "$HTTP[\"url\"] =~ "
           "\"(?i)(\\.ini|\\.bak|\\.log|\\.obj|\\.bin|vv\\.path|vv\\.nolog|\\.index)(/|$)\" {\n"
           "    url.access-deny = (\"\")\n}\n";
    // A name starting with "." is hidden by convention on Linux (.env,
    // .git/): no component of a path may start with one, except the
    // site-wide /.well-known/.
    out += "# Dot-files and dot-folders: 403, except /.well-known/.\n"
           "$HTTP[\"url\"] =~ \"^/\\.(?!well-known(/|$))|./\\.\" {\n"
           "    url.access-deny = (\"\")\n}\n\n";
    out += "# From the registry: \"Default\" of the Index key.\nindex-file.names = (";
    for (std::size_t i = 0; i < bindings.indexNames.size(); ++i) {
        out += i == 0 ? "" : ", ";
        if (!put_string("An index document name", bindings.indexNames[i])) {
            return *failure;
        }
    }
    out += ")\n";
    if (!bindings.programs.empty() && site.fastcgi) {
        // --fastcgi: lighttpd starts each program once, on a socket in the
        // state folder, and passes it the requests for its extension.
        out += "# From the registry: the Names key, extensions whose Attrs value is 3,\n"
               "# each program a FastCGI server that lighttpd starts (--fastcgi).\n"
               "fastcgi.server = (";
        for (std::size_t i = 0; i < bindings.programs.size(); ++i) {
            out += i == 0 ? "\n    " : ",\n    ";
            if (!put_string("An extension", bindings.programs[i].extension)) {
                return *failure;
            }
            out += " => ((\"socket\" => ";
            if (!put_string("The state folder",
                            site.stateFolder + "/fastcgi-" + std::to_string(i) + ".sock")) {
                return *failure;
            }
            out += ", \"bin-path\" => ";
            if (!put_string("A program path", bindings.programs[i].program)) {
                return *failure;
            }
            out += ", \"max-procs\" => 1, \"check-local\" => \"enable\"))";
        }
        out += "\n)\n";
    } else if (!bindings.programs.empty()) {
        out += "# From the registry: the Names key, extensions whose Attrs value is 3.\n"
               "cgi.assign = (";
        for (std::size_t i = 0; i < bindings.programs.size(); ++i) {
            out += i == 0 ? "" : ", ";
            if (!put_string("An extension", bindings.programs[i].extension)) {
                return *failure;
            }
            out += " => ";
            if (!put_string("A program path", bindings.programs[i].program)) {
                return *failure;
            }
        }
        out += ")\n";
    }
    out += "\nmimetype.assign = (";
    bool first = true;
    for (const auto& type : content_types) {
        out += first ? "\n    " : ",\n    ";
        first = false;
        out += "\"" + std::string(type[0]) + "\" => \"" + std::string(type[1]) + "\"";
    }
    out += "\n)\n";
    return out;
}
