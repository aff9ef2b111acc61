// Path functions of entry names.
#include "cgi/path.h"

#include "platform/fs.h"
#include "platform/text.h"

std::string_view path_file_name(std::string_view path) {
    const std::ptrdiff_t root = platform::path_root_length(path);
    if (root < 0)
        return {};
    const auto from = static_cast<std::size_t>(root);
    const std::size_t sep = platform::find_last_char(path, platform::path_separator(), from);
    if (sep != std::string_view::npos)
        return path.substr(sep + 1);
    return from < path.size() ? path.substr(from) : std::string_view{};
}

std::string_view path_extension(std::string_view path) {
    return name_extension(path_file_name(path));
}

std::string_view path_base_name(std::string_view path) {
    return name_base(path_file_name(path));
}

std::string_view name_extension(std::string_view name) {
    const std::size_t dot = platform::find_last_char(name, '.', 0);
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size())
        return {};
    return name.substr(dot);
}

std::string_view name_base(std::string_view name) {
    const std::size_t dot = platform::find_last_char(name, '.', 0);
    if (dot == std::string_view::npos || dot == 0)
        return name;
    return name.substr(0, dot);
}

std::string path_change_extension(std::string_view path, std::string_view ext) {
    const std::string_view old = path_extension(path);
    std::string result(path.substr(0, path.size() - old.size()));
    result += ext;
    return result;
}
