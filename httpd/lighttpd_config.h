// lighttpd configuration: the private configuration file that puts lighttpd
// in AnHTTPd's place, built from the server's registry values.
#pragma once

#include "platform/failure.h"
#include "platform/registry.h"

#include <string>
#include <string_view>
#include <vector>

// CgiBinding binds the files ending in `extension` to the program `program`.
struct CgiBinding {
    std::string extension;
    std::string program;
};

// ServerBindings is what the registry tells the server: its index-document
// names (the "Default" list, in order) and its program bindings.
struct ServerBindings {
    std::vector<std::string> indexNames;
    std::vector<CgiBinding> programs;
};

// read_server_bindings splits "Default" at "," (empty parts left out) and
// takes every extension of the Names key whose Attrs value is 3 and whose
// program path is not empty.
ServerBindings read_server_bindings(const platform::RegistryStore& store);

// ServerSite is where and how lighttpd serves.
struct ServerSite {
    std::string documentRoot;    // absolute
    int port = 0;                // on 127.0.0.1
    std::string stateFolder;     // absolute: error log and temporary files
    std::string registryPath;    // named in the file's banner only
    bool followSymlinks = false; // false: lighttpd opens no path through a link
    // The account lighttpd and its programs run as after binding the port
    // (started as root); "" keeps the account it was started as.
    std::string userName;
    std::string groupName;
    bool fastcgi = false; // true: every bound program runs as a FastCGI server
};

// lighttpd_string quotes `text` as a lighttpd configuration string. False
// when lighttpd could not read it back: it takes \" as a quote and has no
// escape for a backslash, so a backslash before a double quote or at the
// end (a Shift_JIS character with trail byte 0x5C may end a name), or a
// control byte, cannot be written.
bool lighttpd_string(std::string_view text, std::string& out);

// lighttpd_config returns the configuration text: only mod_indexfile,
// mod_access, mod_cgi or mod_fastcgi (when there is a binding) and mod_staticfile, no directory
// listing, 127.0.0.1 only, and URL parsing that lets every byte of a file
// name through; symbolic links followed only when the site says so, and
// 403 for settings, logs, the names the listing hides by default and every
// path with a component starting with "." (but /.well-known/). Fails,
// naming the offending value, when a value cannot be written as a lighttpd
// string.
platform::Outcome<std::string> lighttpd_config(const ServerSite& site,
                                               const ServerBindings& bindings);
