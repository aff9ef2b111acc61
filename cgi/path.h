// Path functions of entry names, double-byte aware: a trail byte is never
// taken for a separator or a dot.
#pragma once

#include <string>
#include <string_view>

// path_file_name returns the text after the last separator behind the path's
// root ("" for a malformed root).
std::string_view path_file_name(std::string_view path);

// path_extension returns the file name's text from its last "." on, or "" when
// the dot is missing or is the name's first or last character.
std::string_view path_extension(std::string_view path);

// path_base_name returns the file name's text before its last "."; the whole
// name when it has no dot or the dot is its first character.
std::string_view path_base_name(std::string_view path);

// name_extension and name_base are path_extension and path_base_name of a
// file name (a path's last component, as path_file_name returns it), without
// looking for a separator again.
std::string_view name_extension(std::string_view name);
std::string_view name_base(std::string_view name);

// path_change_extension returns `path` with its extension replaced by `ext`
// (appended when it has none).
std::string path_change_extension(std::string_view path, std::string_view ext);
