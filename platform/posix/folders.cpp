// POSIX only: special folders are the XDG base and user directories, read from the
// environment and from user-dirs.dirs, with $HOME as the last resort.
#include "platform/folders.h"

#include "platform/file.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace platform {

namespace {

std::string environment_value(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string home_directory() {
    return environment_value("HOME");
}

// base_directory returns $name when it holds an absolute path, else $HOME
// joined to `fallback`, else "".
std::string base_directory(const char* name, std::string_view fallback) {
    std::string value = environment_value(name);
    if (!value.empty() && value.front() == '/') {
        return value;
    }
    const std::string home = home_directory();
    if (home.empty()) {
        return std::string();
    }
    return home + "/" + std::string(fallback);
}

// user_directory returns the XDG user directory `name` (XDG_MUSIC_DIR, ...):
// the environment variable of that name, else the line name="value" of
// user-dirs.dirs ($HOME expanded), else $HOME.
std::string user_directory(const char* name) {
    std::string value = environment_value(name);
    if (!value.empty() && value.front() == '/') {
        return value;
    }
    const std::string home = home_directory();
    const std::string config = base_directory("XDG_CONFIG_HOME", ".config");
    if (!config.empty()) {
        std::string dirs;
        read_file_contents(config + "/user-dirs.dirs", dirs);
        const std::string prefix = std::string(name) + "=\"";
        for (std::size_t pos = 0; pos < dirs.size();) {
            std::size_t lineEnd = dirs.find('\n', pos);
            if (lineEnd == std::string::npos) {
                lineEnd = dirs.size();
            }
            const std::string line = dirs.substr(pos, lineEnd - pos);
            pos = lineEnd + 1;
            if (line.compare(0, prefix.size(), prefix) != 0) {
                continue;
            }
            const std::size_t end = line.find('"', prefix.size());
            if (end == std::string::npos) {
                break;
            }
            std::string path = line.substr(prefix.size(), end - prefix.size());
            if (path.compare(0, 5, "$HOME") == 0) {
                path = home + path.substr(5);
            }
            if (!path.empty() && path.front() == '/') {
                return path;
            }
            break;
        }
    }
    return home;
}

} // namespace

std::string special_folder_path(int number) {
    switch (number) {
    case 0:  // desktop
    case 16: // desktop folder
        return user_directory("XDG_DESKTOP_DIR");
    case 5: // documents
        return user_directory("XDG_DOCUMENTS_DIR");
    case 13:
        return user_directory("XDG_MUSIC_DIR");
    case 14:
        return user_directory("XDG_VIDEOS_DIR");
    case 39:
        return user_directory("XDG_PICTURES_DIR");
    case 26: // application data
        return base_directory("XDG_CONFIG_HOME", ".config");
    case 28: // local application data
        return base_directory("XDG_DATA_HOME", ".local/share");
    case 35: // common application data
        return "/var/lib";
    case 38: // programs
        return "/usr/local";
    default:
        return std::string();
    }
}

} // namespace platform
