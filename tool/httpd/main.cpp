// dirvane-httpd: the web server in AnHTTPd's place. Reads AnHTTPd's registry
// values (creating a fresh server's values when they are missing), writes a
// private lighttpd configuration from them and runs lighttpd in the
// foreground until it is interrupted; or, with --register / --unregister,
// changes the registration of Dirvane as Vanecfg's button does.
#include "platform/fs.h"
#include "platform/net.h"
#include "platform/process_run.h"
#include "platform/registry.h"
#include "tool/httpd/lighttpd_config.h"
#include "tool/registration.h"

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
    "                     [--follow-symlinks]\n"
    "       dirvane-httpd --register --cgi PROGRAM [--conf NAME]\n"
    "       dirvane-httpd --unregister [--conf NAME]\n"
    "\n"
    "Serves FOLDER (required) on http://127.0.0.1:PORT/ (default 8080) with\n"
    "lighttpd, as the registry binds index documents and programs; Ctrl-C stops\n"
    "it. lighttpd follows no symbolic link unless --follow-symlinks is given,\n"
    "and answers 403 for settings, logs and the files the listing hides\n"
    "(.ini .bak .log .obj .bin vv.path vv.nolog). --register binds the folder settings file NAME\n"
    "(default config.index) to PROGRAM (Dirvane); --unregister removes that.\n"
    "The registry file is $DIRVANE_REGISTRY, else\n"
    "$XDG_CONFIG_HOME/dirvane/registry.reg (~/.config when unset). The state\n"
    "folder (lighttpd.conf, error.log) defaults to $XDG_STATE_HOME/dirvane\n"
    "(~/.local/state when unset).\n";

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
    bool followSymlinks = false;
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
    if (!regist_button_state(store, options.conf).enabled) {
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
        std::cerr << regist_error_message << "\n" << store.last_error() << "\n";
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
    const std::string state =
        options.state.empty() ? default_state_folder() : platform::full_path(options.state);
    if (state.empty()) {
        return fail("no state folder: set --state, XDG_STATE_HOME or HOME");
    }
    fs::create_directories(state + "/tmp", ec);
    if (!fs::is_directory(state + "/tmp", ec)) {
        return fail("cannot create the state folder " + state);
    }

    platform::RegistryStore store(platform::registry_default_path());
    if (const std::string error = open_registry(store); !error.empty()) {
        return fail(error);
    }
    const ServerBindings bindings = read_server_bindings(store);

    ServerSite site{rootNoSlash, port, state, store.path(), options.followSymlinks};
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
    std::cout << "Symbolic links: "
              << (options.followSymlinks ? "followed (--follow-symlinks)"
                                         : "not followed (--follow-symlinks allows them)")
              << "\n"
              << "Configuration:  " << configPath << "\n"
              << "Error log:      " << state << "/error.log\n"
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
