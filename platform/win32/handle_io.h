// Whole-buffer writes to a Win32 file or pipe handle.
#pragma once

#include <windows.h>

#include <string_view>

namespace platform::win32 {

// write_all writes every byte of `bytes` to `handle`; a pipe may take them
// in parts, and one call takes at most 1 GiB.
inline bool write_all(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk =
            bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

} // namespace platform::win32
