// Shell folders: the names of the folder numbers, looked up in a table.
#include "runtime/shell_folders.h"

#include "platform/folders.h"
#include "runtime/number.h"

int vv_special_folder_number(std::string_view name) {
    static constexpr NamedNumber names[] = {
        {"APPDATA", 26},
        {"LOCAL_APPDATA", 28},
        {"PERSONAL", 5},
        {"MYDOCUMENTS", 5},
        {"MYMUSIC", 13},
        {"MYPICTURES", 39},
        {"MYVIDEO", 14},
        {"DESKTOP", 0},
        {"DESKTOPDIRECTORY", 16},
        {"STARTMENU", 11},
        {"PROGRAMS", 2},
        {"STARTUP", 7},
        {"COMMON_APPDATA", 35},
        {"COMMON_STARTMENU", 22},
        {"COMMON_PROGRAMS", 23},
        {"COMMON_STARTUP", 24},
        {"COMMON_DESKTOPDIRECTORY", 25},
        {"WINDOWS", 36},
        {"SYSTEM", 37},
        {"PROGRAM_FILES", 38},
        {"PROGRAM_FILES_COMMON", 43},
    };
    return parse_digits_or_name(name, names);
}

std::string vv_special_folder_path(std::string_view name) {
    const int number = vv_special_folder_number(name);
    return number < 0 ? std::string() : platform::special_folder_path(number);
}
