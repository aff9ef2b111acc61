// dirvane-httpd: the web server in AnHTTPd's place. Reads AnHTTPd's registry
// values (creating a fresh server's values when they are missing), writes a
// private lighttpd configuration from them and runs lighttpd in the
// foreground until it is interrupted; or, with --register / --unregister,
// changes the registration of Dirvane as Vanecfg's button does.
#include "platform/fs.h"
#include "platform/net.h"
#include "platform/process_run.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/user.h"
#include "httpd/lighttpd_config.h"
#include "tool/registry_schema.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr std::string_view usage_text =
    "usage: dirvane-httpd --root FOLDER [--port PORT] [--state FOLDER] [--lighttpd PATH]\n"
    "                     [--follow-symlinks] [--user NAME] [--fastcgi]\n"
    "       dirvane-httpd --register --cgi PROGRAM [--conf NAME]\n"
    "       dirvane-httpd --unregister [--conf NAME]\n"
    "\n"
    "Serves FOLDER (required) on http://127.0.0.1:PORT/ (default 8080) with\n"
    "lighttpd, as the registry binds index documents and programs; Ctrl-C stops\n"
    "it. lighttpd follows no symbolic link unless --follow-symlinks is given,\n"
    "and answers 403 for settings, logs and the files the listing hides\n"
    "(.ini .bak .log .obj .bin vv.path vv.nolog). Started as root, lighttpd and\n"
    "the programs it runs work as the user NAME (default www-data; --user root\n"
    "keeps root). With --fastcgi lighttpd starts each registered program once\n"
    "as a FastCGI server (mod_fastcgi) instead of running it per request.\n"
    "--register binds the folder settings file NAME\n"
    "(default config.index) to PROGRAM (Dirvane); --unregister removes that.\n"
    "The registry file is $DIRVANE_REGISTRY, else\n"
    "$XDG_CONFIG_HOME/dirvane/registry.reg (~/.config when unset). The state\n"
    "folder (lighttpd.conf, error.log) defaults to $XDG_STATE_HOME/dirvane\n"
    "(~/.local/state when unset), and to /var/lib/dirvane-httpd for root.\n";

// The account a server started as root runs as, and its state folder (a
// folder under /root is closed to that account).
constexpr std::string_view default_user = "www-data";
constexpr std::string_view root_state_folder = "/var/lib/dirvane-httpd";

struct Options {
    bool help = false;
    bool registerConf = false;
    bool unregisterConf = false;
    std::string conf = "config.index";
    std::string cgi;
    std::string root;
    std::string port = "8080";
    std::string state;
    std::string lighttpd;
    std::string user;
    bool followSymlinks = false;
    bool fastcgi = false;
};

int fail(const std::string& message) {
    std::cerr << "dirvane-httpd: " << message << "\n";
    return 1;
}

bool parse_options(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string* target = nullptr;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--register") {
            options.registerConf = true;
        } else if (arg == "--follow-symlinks") {
            options.followSymlinks = true;
        } else if (arg == "--fastcgi") {
            options.fastcgi = true;
        } else if (arg == "--unregister") {
            options.unregisterConf = true;
        } else if (arg == "--conf") {
            target = &options.conf;
        } else if (arg == "--cgi") {
            target = &options.cgi;
        } else if (arg == "--root") {
            target = &options.root;
        } else if (arg == "--port") {
            target = &options.port;
        } else if (arg == "--state") {
            target = &options.state;
        } else if (arg == "--lighttpd") {
            target = &options.lighttpd;
        } else if (arg == "--user") {
            target = &options.user;
        } else {
            error = "unknown argument " + std::string(arg);
            return false;
        }
        if (target != nullptr) {
            if (i + 1 >= argc) {
                error = std::string(arg) + " needs a value";
                return false;
            }
            *target = argv[++i];
        }
    }
    if (options.registerConf && options.unregisterConf) {
        error = "--register and --unregister exclude each other";
        return false;
    }
    return true;
}

// open_registry makes the store and a fresh server's keys; "" on success.
std::string open_registry(platform::RegistryStore& store) {
    if (store.path().empty()) {
        return "no registry file: set DIRVANE_REGISTRY or HOME";
    }
    if (!ensure_anhttpd_keys(store)) {
        return "cannot set up the registry: " + store.last_error();
    }
    return std::string();
}

int run_registration(const Options& options) {
    platform::RegistryStore store(platform::registry_default_path());
    if (const std::string error = open_registry(store); !error.empty()) {
        return fail(error);
    }
    const std::string ext = conf_extension(options.conf);
    if (ext.empty()) {
        return fail("the folder settings file name \"" + options.conf +
                    "\" has no extension: nothing to bind");
    }
    if (store.read_text(anhttpd_index_key, anhttpd_index_list).empty()) {
        return fail("the index document list (\"Default\" of HKEY_LOCAL_MACHINE\\" +
                    std::string(anhttpd_index_key) + ") in " + store.path() +
                    " is empty: registration is not possible");
    }
    const bool registered = is_registered(store, options.conf);
    std::string cgi;
    if (options.registerConf) {
        if (options.cgi.empty()) {
            return fail("--register needs --cgi PROGRAM (the path of Dirvane)");
        }
        cgi = platform::full_path(options.cgi);
        if (platform::find_program(cgi, {}).empty()) {
            return fail("no executable program at " + cgi);
        }
        if (registered) {
            const std::string bound = store.read_text(anhttpd_names_key, ext);
            std::cout << options.conf << " is already registered in " << store.path() << " (" << ext
                      << " runs " << (bound.empty() ? "nothing" : bound) << ").\n";
            if (bound != cgi) {
                std::cout << "To bind it to " << cgi
                          << " instead, run --unregister and then --register.\n";
            }
            return 0;
        }
    } else if (!registered) {
        std::cout << options.conf << " is not registered in " << store.path() << ".\n";
        return 0;
    }
    const RegistResult result = change_registration(store, options.conf, cgi);
    if (!result.ok) {
        std::cerr << regist_error_message << "\n" << result.error << "\n";
        return 1;
    }
    std::cout << regist_done_message << "\n"
              << (result.change == RegistChange::added ? "Registered " : "Unregistered ")
              << options.conf << " (" << ext << ")" << (cgi.empty() ? "" : " -> " + cgi) << " in "
              << store.path() << ". It takes effect at the next server start.\n";
    return 0;
}

std::string default_state_folder() {
    const char* xdg = std::getenv("XDG_STATE_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg) + "/dirvane";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return std::string(home) + "/.local/state/dirvane";
    }
    return std::string();
}

// first_closed_folder returns the first folder on the way to `path` that
// `account` may not enter; "" when it may enter every one.
std::string first_closed_folder(const platform::UserAccount& account, const std::string& path) {
    namespace fs = std::filesystem;
    fs::path folder;
    for (const fs::path& part : fs::path(path).parent_path()) {
        folder /= part;
        if (!platform::user_may_access(account, folder.string(), platform::may_run)) {
            return folder.string();
        }
    }
    return std::string();
}

// reach_problem says why `account` may not do `modes` to `path` (`what`
// names the deed, "run the program") and how to mend it; "" when it may.
std::string reach_problem(const platform::UserAccount& account, const std::string& path, int modes,
                          std::string_view what) {
    if (platform::user_may_access(account, path, modes)) {
        return std::string();
    }
    const std::string start = account.name + " cannot " + std::string(what) + " " + path;
    if (const std::string closed = first_closed_folder(account, path); !closed.empty()) {
        return start + ": it may not enter " + closed + ". Let it in (chmod o+x " + closed +
               "), move the file to a folder it can reach, or choose another --user";
    }
    std::string letters;
    letters += (modes & platform::may_read) != 0 ? "r" : "";
    letters += (modes & platform::may_write) != 0 ? "w" : "";
    letters += (modes & platform::may_run) != 0 ? "x" : "";
    return start + ": its permissions shut " + account.name + " out. Allow it (chown " +
           account.name + " " + path + ", or chmod o+" + letters + " " + path +
           "), or choose another --user";
}

// ini_beside returns the common settings file of `program`: its path with
// the extension replaced by ".ini", as Dirvane finds it.
std::string ini_beside(const std::string& program) {
    const std::size_t slash = program.rfind('/');
    const std::size_t dot = program.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) {
        return program.substr(0, dot) + ".ini";
    }
    return program + ".ini";
}

// access_log_folder returns the fixed folder part of an absolute access-log
// template (up to the first component with a placeholder); "" for a
// relative one (it lies in each listed folder) or one that starts with a
// placeholder. `whole` tells whether the file's folder is fixed entirely.
std::string access_log_folder(std::string log, bool& whole) {
    for (char& c : log) {
        c = c == '\\' ? '/' : c;
    }
    whole = false;
    const std::size_t slash = log.rfind('/');
    if (log.empty() || log[0] != '/' || slash == std::string::npos) {
        return std::string();
    }
    const std::string folder = log.substr(0, slash);
    const std::size_t mark = folder.find('%');
    whole = mark == std::string::npos;
    const std::string fixed = whole ? folder : folder.substr(0, folder.rfind('/', mark));
    return fixed.empty() ? std::string("/") : fixed;
}

// make_folders_for creates `folder` and the missing folders above it, each
// one it creates given to `account`; false when that fails.
bool make_folders_for(const platform::UserAccount& account, const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> missing;
    for (fs::path p = folder; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
        missing.push_back(p);
        if (p == p.parent_path()) {
            break;
        }
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!fs::create_directory(*it, ec) && !fs::is_directory(*it, ec)) {
            return false;
        }
        if (!platform::give_to_user(it->string(), account)) {
            return false;
        }
    }
    return true;
}

bool parse_port(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos) {
        return false;
    }
    port = std::stoi(text);
    return port >= 1 && port <= 65535;
}

int run_server(const Options& options) {
    namespace fs = std::filesystem;
    std::error_code ec;

    // No default: serving the working folder by accident hands out whatever
    // lies there (a home folder's keys, the registry, the state folder).
    if (options.root.empty()) {
        return fail("no document root: name the folder to serve with --root FOLDER\n"
                    "    (for example: dirvane-httpd --root /srv/www)");
    }
    const std::string root =
        fs::path(platform::full_path(options.root)).lexically_normal().string();
    if (!fs::is_directory(root, ec)) {
        return fail("the document root " + root + " does not exist or is not a folder");
    }
    std::string rootNoSlash = root;
    while (rootNoSlash.size() > 1 && rootNoSlash.back() == '/') {
        rootNoSlash.pop_back();
    }
    int port = 0;
    if (!parse_port(options.port, port)) {
        return fail("the port must be a number from 1 to 65535, not \"" + options.port + "\"");
    }
    const std::string lighttpd =
        options.lighttpd.empty()
            ? platform::find_program("lighttpd", {"/usr/sbin", "/usr/local/sbin", "/sbin"})
            : platform::find_program(options.lighttpd, {});
    if (lighttpd.empty()) {
        return fail("lighttpd is not installed" +
                    (options.lighttpd.empty() ? std::string(" (looked on PATH and in /usr/sbin)")
                                              : " at " + options.lighttpd) +
                    ". Install it with:\n    sudo apt-get install lighttpd");
    }

    // Started as root, lighttpd and the programs it runs work as an account
    // without privileges; otherwise as whoever started it.
    platform::UserAccount account;
    bool switchUser = false;
    std::string userLine;
    const bool superuser = platform::running_as_superuser();
    if (superuser) {
        const std::string name = options.user.empty() ? std::string(default_user) : options.user;
        if (!platform::find_user(name, account)) {
            return fail("there is no user \"" + name + "\" to run lighttpd and its programs as" +
                        (options.user.empty() ? " (the default when started as root)" : "") +
                        ": choose one with --user NAME (--user root keeps root)");
        }
        switchUser = account.uid != 0;
        userLine = switchUser
                       ? account.name + " (lighttpd and its programs; --user chooses)"
                       : account.name + " (--user " + name + ": no switch, all runs as root)";
    } else {
        const std::string me = platform::current_user_name();
        if (!options.user.empty() && options.user != me) {
            return fail("--user " + options.user + " needs root: started as " +
                        (me.empty() ? std::string("another user") : me) +
                        ", lighttpd runs as that user; leave --user out or start as root");
        }
        userLine =
            (me.empty() ? std::string("this user") : me) + " (not started as root: no switch)";
    }

    const std::string state = !options.state.empty() ? platform::full_path(options.state)
                              : superuser            ? std::string(root_state_folder)
                                                     : default_state_folder();
    if (state.empty()) {
        return fail("no state folder: set --state, XDG_STATE_HOME or HOME");
    }
    fs::create_directories(state + "/tmp", ec);
    if (!fs::is_directory(state + "/tmp", ec)) {
        return fail("cannot create the state folder " + state);
    }
    const std::string errorLog = state + "/error.log";
    if (switchUser) {
        // lighttpd opens its error log and its upload folder after the switch:
        // both belong to the account, the state folder itself stays root's
        // (it holds lighttpd.conf, which root's lighttpd reads).
        std::ofstream(errorLog, std::ios::binary | std::ios::app);
        if (!platform::give_to_user(errorLog, account) ||
            !platform::give_to_user(state + "/tmp", account)) {
            return fail("cannot hand " + errorLog + " and " + state + "/tmp to the user " +
                        account.name);
        }
        for (const auto& [path, modes] :
             {std::pair{errorLog, platform::may_write},
              std::pair{state + "/tmp", platform::may_write | platform::may_run}}) {
            if (const std::string problem = reach_problem(account, path, modes, "write");
                !problem.empty()) {
                return fail(
                    "the state folder " + state + " is closed to lighttpd: " + problem +
                    "\n    (or give --state a folder it can reach; as root the default is " +
                    std::string(root_state_folder) + ")");
            }
        }
    }

    platform::RegistryStore store(platform::registry_default_path());
    if (const std::string error = open_registry(store); !error.empty()) {
        return fail(error);
    }
    const ServerBindings bindings = read_server_bindings(store);

    ServerSite site{rootNoSlash, port, state,          store.path(), options.followSymlinks,
                    {},          {},   options.fastcgi};
    std::vector<std::string> problems;
    std::vector<std::string> notes;
    if (switchUser) {
        site.userName = account.name;
        site.groupName = account.group;
        // What lighttpd and the programs must still reach as the account: the
        // document root, each program with its common settings, and the
        // access-log folder those settings name (created for the account
        // when missing; an existing one is only checked).
        problems.push_back(reach_problem(account, root, platform::may_read | platform::may_run,
                                         "read the document root"));
        for (const CgiBinding& b : bindings.programs) {
            if (platform::find_program(b.program, {}).empty()) {
                continue;
            }
            problems.push_back(
                reach_problem(account, b.program, platform::may_run, "run the program"));
            const std::string ini = ini_beside(b.program);
            if (!fs::exists(ini, ec)) {
                continue;
            }
            problems.push_back(
                reach_problem(account, ini, platform::may_read, "read the common settings"));
            const std::string log = platform::read_profile_string(ini, "index", "log", "");
            bool whole = false;
            const std::string folder = access_log_folder(log, whole);
            if (folder.empty()) {
                if (!log.empty() && log[0] != '%') {
                    notes.push_back("the access log " + log + " lies in each listed folder: " +
                                    account.name + " writes it only where it may write");
                }
                continue;
            }
            if (!fs::exists(folder, ec)) {
                if (make_folders_for(account, folder)) {
                    notes.push_back("created " + folder + " for " + account.name +
                                    " (the access log " + log + ")");
                } else {
                    problems.push_back("cannot create the access-log folder " + folder + " for " +
                                       account.name);
                    continue;
                }
            }
            problems.push_back(reach_problem(account, folder,
                                             platform::may_write | platform::may_run,
                                             "write the access-log folder"));
            const std::string file = log.substr(log.find_last_of("/\\") + 1);
            if (whole && file.find('%') == std::string::npos &&
                fs::exists(folder + "/" + file, ec)) {
                problems.push_back(reach_problem(account, folder + "/" + file, platform::may_write,
                                                 "append to the access log"));
            }
        }
    }
    std::string config;
    std::string error;
    if (!lighttpd_config(site, bindings, config, error)) {
        return fail(error);
    }
    const std::string configPath = state + "/lighttpd.conf";
    {
        std::ofstream file(configPath, std::ios::binary | std::ios::trunc);
        file << config;
        if (!file.flush()) {
            return fail("cannot write " + configPath);
        }
    }

    if (!platform::loopback_port_free(port)) {
        return fail("port " + std::to_string(port) +
                    " on 127.0.0.1 is in use (another server?): choose another one with --port");
    }

    std::cout << "Registry:       " << store.path() << "\n"
              << "Index names:    ";
    for (std::size_t i = 0; i < bindings.indexNames.size(); ++i) {
        std::cout << (i ? ", " : "") << bindings.indexNames[i];
    }
    std::cout << (bindings.indexNames.empty() ? "(none)\n" : "\n");
    for (const CgiBinding& b : bindings.programs) {
        std::cout << "Program:        " << b.extension << " -> " << b.program << "\n";
        if (platform::find_program(b.program, {}).empty()) {
            std::cout << "                (warning: no executable program there)\n";
        }
    }
    if (bindings.programs.empty()) {
        std::cout << "Program:        (none registered: run dirvane-httpd --register)\n";
    }
    std::cout << "User:           " << userLine << "\n";
    for (const std::string& note : notes) {
        std::cout << "                (" << note << ")\n";
    }
    for (const std::string& problem : problems) {
        if (!problem.empty()) {
            std::cout << "Not reachable:  " << problem << "\n";
        }
    }
    std::cout << "Symbolic links: "
              << (options.followSymlinks ? "followed (--follow-symlinks)"
                                         : "not followed (--follow-symlinks allows them)")
              << "\n"
              << "Configuration:  " << configPath << "\n"
              << "Error log:      " << errorLog << "\n"
              << std::flush;

    platform::watch_stop_signals();
    const platform::ProcessId child =
        platform::start_process({lighttpd, "-D", "-f", configPath}, {}, error);
    if (child == platform::no_process) {
        return fail(error);
    }
    platform::forward_stop_signals(child);

    // lighttpd binds at once; wait until it answers before naming the URL.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int code = 0;
    bool ended = false;
    while (!platform::loopback_port_accepts(port)) {
        if ((ended = platform::process_ended(child, code)) ||
            std::chrono::steady_clock::now() > deadline || platform::stop_signal_received()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!ended && !platform::stop_signal_received() && !platform::loopback_port_accepts(port)) {
        platform::stop_process(child);
        platform::wait_process(child);
        return fail("lighttpd does not answer on port " + std::to_string(port) + "; see " + state +
                    "/error.log");
    }
    if (!ended) {
        if (!platform::stop_signal_received()) {
            std::cout << "Serving " << root << " at http://127.0.0.1:" << port
                      << "/ (Ctrl-C stops the server)\n"
                      << std::flush;
        }
        code = platform::wait_process(child);
    }
    if (platform::stop_signal_received() != 0) {
        std::cout << "Stopped.\n";
        return code == 0 ? 0 : 1;
    }
    return fail("lighttpd ended with code " + std::to_string(code) +
                "; its messages are above "
                "and in " +
                state + "/error.log");
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parse_options(argc, argv, options, error)) {
        std::cerr << "dirvane-httpd: " << error << "\n" << usage_text;
        return 2;
    }
    if (options.help) {
        std::cout << usage_text;
        return 0;
    }
    if (options.registerConf || options.unregisterConf) {
        return run_registration(options);
    }
    return run_server(options);
}
