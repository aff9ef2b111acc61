// dirvane-httpd: the web server in AnHTTPd's place. Reads AnHTTPd's registry
// values (creating a fresh server's values when they are missing), writes a
// private lighttpd configuration from them and runs lighttpd in the
// foreground until it is interrupted; or, with --register / --unregister,
// changes the registration of Dirvane as Vanecfg's button does.
#include "httpd/account_reach.h"
#include "httpd/lighttpd_config.h"
#include "platform/fs.h"
#include "platform/net.h"
#include "platform/process_run.h"
#include "platform/registry.h"
#include "platform/user.h"
#include "tool/registry_schema.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>

namespace {

constexpr std::string_view usage_text =
    "usage: dirvane-httpd --root FOLDER [--port PORT] [--state FOLDER] [--lighttpd PATH]\n"
    "                     [--follow-symlinks] [--user NAME] [--fastcgi]\n"
    "       dirvane-httpd --register --cgi PROGRAM [--conf NAME]\n"
    "       dirvane-httpd --unregister [--conf NAME]\n"
    "       dirvane-httpd --help | --version\n"
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
    bool version = false;
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

// usage_failure is a command line that cannot be run: `reason` says why.
platform::Failure usage_failure(std::string reason) {
    return platform::Failure{"", "", std::move(reason)};
}

platform::Outcome<Options> parse_options(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string* target = nullptr;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
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
            return usage_failure("unknown argument " + std::string(arg));
        }
        if (target != nullptr) {
            if (i + 1 >= argc) {
                return usage_failure(std::string(arg) + " needs a value");
            }
            *target = argv[++i];
        }
    }
    if (options.registerConf && options.unregisterConf) {
        return usage_failure("--register and --unregister exclude each other");
    }
    return options;
}

// open_registry makes the store and a fresh server's keys.
platform::Outcome<void> open_registry(platform::RegistryStore& store) {
    if (store.path().empty()) {
        return platform::Failure{"", "", "no registry file: set DIRVANE_REGISTRY or HOME"};
    }
    if (auto keys = ensure_anhttpd_keys(store); !keys) {
        return platform::Failure{"cannot set up the registry", "", keys.failure().message()};
    }
    return {};
}

int run_registration(const Options& options) {
    platform::RegistryStore store(platform::registry_default_path());
    if (const auto opened = open_registry(store); !opened) {
        return fail(opened.failure().message());
    }
    const std::string ext = conf_extension(options.conf);
    if (ext.empty()) {
        return fail("the folder settings file name \"" + options.conf +
                    "\" has no extension: nothing to bind");
    }
    if (store.read_text(anhttpd_index_key, anhttpd_index_list).value_or("").empty()) {
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
            const std::string bound = store.read_text(anhttpd_names_key, ext).value_or("");
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
    if (result.failure) {
        std::cerr << regist_error_message << "\n" << result.failure->message() << "\n";
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

bool parse_port(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos) {
        return false;
    }
    port = std::stoi(text);
    return port >= 1 && port <= 65535;
}

// The steps of a server start, in their order. Each fails with the message
// for the administrator when the server cannot start.

// start_failure is a server that cannot start: `message` says why.
platform::Failure start_failure(std::string message) {
    return platform::Failure{"", "", std::move(message)};
}

// find_document_root returns the folder to serve, absolute and normalized.
// There is no default: serving the working folder by accident hands out
// whatever lies there (a home folder's keys, the registry, the state folder).
platform::Outcome<std::string> find_document_root(const Options& options) {
    namespace fs = std::filesystem;
    if (options.root.empty()) {
        return start_failure("no document root: name the folder to serve with --root FOLDER\n"
                             "    (for example: dirvane-httpd --root /srv/www)");
    }
    std::string root = fs::path(platform::full_path(options.root)).lexically_normal().string();
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        return start_failure("the document root " + root + " does not exist or is not a folder");
    }
    return root;
}

// without_trailing_slashes returns `folder` without the slashes at its end
// ("/" stays), as lighttpd's document root wants it.
std::string without_trailing_slashes(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

platform::Outcome<int> read_port(const Options& options) {
    int port = 0;
    if (!parse_port(options.port, port)) {
        return start_failure("the port must be a number from 1 to 65535, not \"" + options.port +
                             "\"");
    }
    return port;
}

// find_lighttpd returns the lighttpd program: --lighttpd, else on PATH or
// in the system's sbin folders.
platform::Outcome<std::string> find_lighttpd(const Options& options) {
    std::string lighttpd =
        options.lighttpd.empty()
            ? platform::find_program("lighttpd", {"/usr/sbin", "/usr/local/sbin", "/sbin"})
            : platform::find_program(options.lighttpd, {});
    if (lighttpd.empty()) {
        return start_failure("lighttpd is not installed" +
                             (options.lighttpd.empty()
                                  ? std::string(" (looked on PATH and in /usr/sbin)")
                                  : " at " + options.lighttpd) +
                             ". Install it with:\n    sudo apt-get install lighttpd");
    }
    return lighttpd;
}

// ServerAccount is who lighttpd and the programs it runs work as.
struct ServerAccount {
    bool superuser = false;  // started as root
    bool switchUser = false; // lighttpd takes on `account` after binding the port
    platform::UserAccount account;
    std::string userLine; // the "User:" line
};

// choose_account decides the account: started as root, one without
// privileges (--user, default www-data); otherwise whoever started it.
platform::Outcome<ServerAccount> choose_account(const Options& options) {
    ServerAccount server;
    server.superuser = platform::running_as_superuser();
    if (server.superuser) {
        const std::string name = options.user.empty() ? std::string(default_user) : options.user;
        if (!platform::find_user(name, server.account)) {
            return start_failure(
                "there is no user \"" + name + "\" to run lighttpd and its programs as" +
                (options.user.empty() ? " (the default when started as root)" : "") +
                ": choose one with --user NAME (--user root keeps root)");
        }
        server.switchUser = server.account.uid != 0;
        server.userLine = user_line(true, server.account, name, {});
        return server;
    }
    const std::string me = platform::current_user_name();
    if (!options.user.empty() && options.user != me) {
        return start_failure("--user " + options.user + " needs root: started as " +
                             (me.empty() ? std::string("another user") : me) +
                             ", lighttpd runs as that user; leave --user out or start as root");
    }
    server.userLine = user_line(false, server.account, options.user, me);
    return server;
}

// prepare_state_folder returns the state folder with its "tmp" folder made.
// lighttpd opens its error log and its upload folder after the switch of
// account: both then belong to the account, the state folder itself stays
// root's (it holds lighttpd.conf, which root's lighttpd reads).
platform::Outcome<std::string> prepare_state_folder(const Options& options,
                                                    const ServerAccount& server) {
    namespace fs = std::filesystem;
    const std::string state = !options.state.empty() ? platform::full_path(options.state)
                              : server.superuser     ? std::string(root_state_folder)
                                                     : default_state_folder();
    if (state.empty()) {
        return start_failure("no state folder: set --state, XDG_STATE_HOME or HOME");
    }
    std::error_code ec;
    fs::create_directories(state + "/tmp", ec);
    if (!fs::is_directory(state + "/tmp", ec)) {
        return platform::Failure{"cannot create the state folder", state, ""};
    }
    if (!server.switchUser) {
        return state;
    }
    const platform::UserAccount& account = server.account;
    const std::string errorLog = state + "/error.log";
    std::ofstream(errorLog, std::ios::binary | std::ios::app);
    if (!platform::give_to_user(errorLog, account) ||
        !platform::give_to_user(state + "/tmp", account)) {
        return start_failure("cannot hand " + errorLog + " and " + state + "/tmp to the user " +
                             account.name);
    }
    for (const auto& [path, modes] :
         {std::pair{errorLog, platform::may_write},
          std::pair{state + "/tmp", platform::may_write | platform::may_run}}) {
        if (const auto reached = reach_problem(account, path, modes, "write"); !reached) {
            return start_failure("the state folder " + state +
                                 " is closed to lighttpd: " + reached.failure().message() +
                                 "\n    (or give --state a folder it can reach; as root the "
                                 "default is " +
                                 std::string(root_state_folder) + ")");
        }
    }
    return state;
}

// write_config writes lighttpd's configuration for `site` to `path`.
platform::Outcome<void> write_config(const ServerSite& site, const ServerBindings& bindings,
                                     const std::string& path) {
    const platform::Outcome<std::string> config = lighttpd_config(site, bindings);
    if (!config) {
        return config.failure();
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << config.value();
    if (!file.flush()) {
        return platform::Failure{"cannot write", path, ""};
    }
    return {};
}

// print_summary tells the administrator what the server is about to serve,
// as whom, and where its files are.
void print_summary(const Options& options, const std::string& registryPath,
                   const ServerBindings& bindings, const std::string& userLine,
                   const AccountReach& reach, const std::string& state) {
    std::cout << "Registry:       " << registryPath << "\n"
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
    print_account(std::cout, userLine, reach);
    std::cout << "Symbolic links: "
              << (options.followSymlinks ? "followed (--follow-symlinks)"
                                         : "not followed (--follow-symlinks allows them)")
              << "\n"
              << "Configuration:  " << state << "/lighttpd.conf\n"
              << "Error log:      " << state << "/error.log\n"
              << std::flush;
}

// await_answer waits until lighttpd answers on `port` (it binds at once),
// for ten seconds at most or until a stop signal; true when it ended
// meanwhile, with its exit code in `code`.
bool await_answer(platform::ProcessId child, int port, int& code) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!platform::loopback_port_accepts(port)) {
        if (platform::process_ended(child, code)) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline || platform::stop_signal_received()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// run_lighttpd runs lighttpd in the foreground until it ends or is stopped
// (Ctrl-C and the other stop signals are passed on to it), naming the URL
// once it answers; returns the program's exit code.
int run_lighttpd(const std::string& lighttpd, const std::string& state, const std::string& root,
                 int port) {
    const std::string configPath = state + "/lighttpd.conf";
    platform::watch_stop_signals();
    const platform::Outcome<platform::ProcessId> started =
        platform::start_process({lighttpd, "-D", "-f", configPath}, {});
    if (!started) {
        return fail(started.failure().message());
    }
    const platform::ProcessId child = started.value();
    platform::forward_stop_signals(child);

    int code = 0;
    const bool ended = await_answer(child, port, code);
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

int run_server(const Options& options) {
    const auto rootFound = find_document_root(options);
    if (!rootFound) {
        return fail(rootFound.failure().message());
    }
    const auto portRead = read_port(options);
    if (!portRead) {
        return fail(portRead.failure().message());
    }
    const auto lighttpdFound = find_lighttpd(options);
    if (!lighttpdFound) {
        return fail(lighttpdFound.failure().message());
    }
    const auto accountChosen = choose_account(options);
    if (!accountChosen) {
        return fail(accountChosen.failure().message());
    }
    const ServerAccount& server = accountChosen.value();
    const auto statePrepared = prepare_state_folder(options, server);
    if (!statePrepared) {
        return fail(statePrepared.failure().message());
    }
    const std::string& root = rootFound.value();
    const int port = portRead.value();
    const std::string& state = statePrepared.value();

    platform::RegistryStore store(platform::registry_default_path());
    if (const auto opened = open_registry(store); !opened) {
        return fail(opened.failure().message());
    }
    const ServerBindings bindings = read_server_bindings(store);
    ServerSite site{without_trailing_slashes(root), port, state, store.path(),
                    options.followSymlinks,         {},   {},    options.fastcgi};
    AccountReach reach;
    if (server.switchUser) {
        site.userName = server.account.name;
        site.groupName = server.account.group;
        reach = check_account_reach(server.account, root, bindings);
    }
    if (const auto written = write_config(site, bindings, state + "/lighttpd.conf"); !written) {
        return fail(written.failure().message());
    }
    if (!platform::loopback_port_free(port)) {
        return fail("port " + std::to_string(port) +
                    " on 127.0.0.1 is in use (another server?): choose another one with --port");
    }
    print_summary(options, store.path(), bindings, server.userLine, reach, state);
    return run_lighttpd(lighttpdFound.value(), state, root, port);
}

} // namespace

int main(int argc, char** argv) {
    const platform::Outcome<Options> parsed = parse_options(argc, argv);
    if (!parsed) {
        std::cerr << "dirvane-httpd: " << parsed.failure().message() << "\n" << usage_text;
        return 2;
    }
    const Options& options = parsed.value();
    if (options.help) {
        std::cout << usage_text;
        return 0;
    }
    if (options.version) {
        std::cout << "dirvane-httpd " DIRVANE_VERSION "\n";
        return 0;
    }
    if (options.registerConf || options.unregisterConf) {
        return run_registration(options);
    }
    return run_server(options);
}
