// DirEntry: one entry of the listed folder.
#pragma once

#include "cgi/time_value.h"

#include <cstdint>
#include <string>

struct DirEntry {
    std::string path;       // full path; the shown name is path_file_name(path)
    bool isDir = false;     // the entry is a folder
    TimeValue time;         // last-write time; 0/0 when unknown
    std::uint64_t size = 0; // bytes (not shown for folders)
};
