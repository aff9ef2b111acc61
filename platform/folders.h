// Special folders: the per-user and system-wide folders that the Windows shell
// numbers (CSIDL values), mapped to this system's equivalents.
#pragma once

#include <string>

namespace platform {

// special_folder_path returns the absolute path of the folder numbered
// `number` (0 desktop, 5 documents, 13 music, 14 videos, 16 desktop folder,
// 26 application data, 28 local application data, 35 common application
// data, 38 programs, 39 pictures), or "" when the system has none.
std::string special_folder_path(int number);

} // namespace platform
