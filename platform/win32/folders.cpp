// Win32 only: special folders through the shell's SHGetFolderPathA, which
// takes the CSIDL numbers themselves.
#include "platform/folders.h"

#include "platform/win32/wide_text.h"

#include <windows.h>

#include <shlobj.h>

namespace platform {

std::string special_folder_path(int number) {
    if (win32::ansi_text()) {
        char path[MAX_PATH] = {};
        if (SHGetFolderPathA(nullptr, number, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) {
            return std::string();
        }
        return std::string(path);
    }
    wchar_t path[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, number, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) {
        return std::string();
    }
    return win32::from_wide(path);
}

} // namespace platform
