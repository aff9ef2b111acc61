// Shell folders of log path templates: the names and numbers a template
// or vv.path gives ("APPDATA", "26", ...) and the folder of this system
// behind each.
#pragma once

#include <string>
#include <string_view>

// vv_special_folder_number returns the folder number of a special-folder name
// ("APPDATA", "personal", ...; letter case ignored) or of a text of digits
// (base chosen by the text: "010" is 8, "0x1a" is not digits); -1 when unknown.
int vv_special_folder_number(std::string_view name);

// vv_special_folder_path returns the path of the special folder named `name`,
// "" when unknown.
std::string vv_special_folder_path(std::string_view name);
