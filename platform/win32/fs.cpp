// Win32 only: directory search through FindFirstFileA/FindNextFileA (the wide
// functions for UTF-8 names), full paths through GetFullPathNameA, last-write
// times through FileTimeToSystemTime, paths with "\", drive and UNC roots.
#include "platform/fs.h"

#include "platform/text.h"
#include "platform/win32/wide_text.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>

namespace platform {

namespace {

// seconds_since_1970 turns a system time taken as UTC into seconds since
// 1970 by the four-year rule: every year divisible by 4 is a leap year,
// which is exact for every year that 32-bit seconds can hold.
std::int64_t seconds_since_1970(const SYSTEMTIME& t) {
    static constexpr int daysBeforeMonth[12] = {0,   31,  59,  90,  120, 151,
                                                181, 212, 243, 273, 304, 334};
    const std::int64_t year = t.wYear;
    const int month = t.wMonth >= 1 && t.wMonth <= 12 ? t.wMonth : 1;
    std::int64_t days =
        (year - 1970) * 365 + (year - 1969) / 4 + daysBeforeMonth[month - 1] + t.wDay;
    if (month >= 3 && year % 4 == 0) {
        ++days;
    }
    return (((days - 1) * 24 + t.wHour) * 60 + t.wMinute) * 60 + t.wSecond;
}

// set_time fills the record's time from a last-write FILETIME; a time that
// the system cannot convert leaves the time unknown.
void set_time(const FILETIME& written, FoundFile& found) {
    SYSTEMTIME utc{};
    if (!FileTimeToSystemTime(&written, &utc)) {
        found.hasTime = false;
        found.seconds = 0;
        found.microseconds = 0;
        return;
    }
    found.hasTime = true;
    found.seconds = seconds_since_1970(utc);
    found.microseconds = static_cast<std::int32_t>(utc.wMilliseconds) * 1000;
}

template <typename FindData> void fill_record(const FindData& data, FoundFile& found) {
    found.isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A folder has no size of its own in the search records.
    found.size = found.isDir
                     ? 0
                     : (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    set_time(data.ftLastWriteTime, found);
}

// FindCloser ends a search when the scan ends.
struct FindCloser {
    HANDLE handle;
    ~FindCloser() { FindClose(handle); }
};

// The test seam of set_directory_read_hook.
std::atomic<DirectoryReadHook> read_hook{nullptr};

// hooked_error is the error that the test seam gives the next read, or 0.
int hooked_error(std::size_t recordsRead) {
    const DirectoryReadHook hook = read_hook.load(std::memory_order_relaxed);
    return hook != nullptr ? hook(recordsRead) : 0;
}

// search_end tells, after FindNextFile failed, whether the folder ended or a
// read failed.
SearchResult search_end() {
    const DWORD error = GetLastError();
    if (error == ERROR_NO_MORE_FILES) {
        return {SearchEnd::complete};
    }
    return {SearchEnd::read_error, static_cast<int>(error)};
}

SearchResult find_ansi(const std::string& pattern,
                       const std::function<void(const FoundFile&)>& visit) {
    if (const int error = hooked_error(0)) {
        return {SearchEnd::read_error, error};
    }
    WIN32_FIND_DATAA data{};
    const HANDLE handle = FindFirstFileA(pattern.c_str(), &data);
    if (handle == INVALID_HANDLE_VALUE) {
        return {SearchEnd::not_searched};
    }
    const FindCloser closer{handle};
    FoundFile found;
    for (std::size_t recordsRead = 1;; ++recordsRead) {
        fill_record(data, found);
        found.name = data.cFileName;
        visit(found);
        if (const int error = hooked_error(recordsRead)) {
            return {SearchEnd::read_error, error};
        }
        if (!FindNextFileA(handle, &data)) {
            return search_end();
        }
    }
}

SearchResult find_wide(const std::string& pattern,
                       const std::function<void(const FoundFile&)>& visit) {
    if (const int error = hooked_error(0)) {
        return {SearchEnd::read_error, error};
    }
    WIN32_FIND_DATAW data{};
    const HANDLE handle = FindFirstFileW(win32::to_wide(pattern).c_str(), &data);
    if (handle == INVALID_HANDLE_VALUE) {
        return {SearchEnd::not_searched};
    }
    const FindCloser closer{handle};
    FoundFile found;
    std::string name;
    for (std::size_t recordsRead = 1;; ++recordsRead) {
        fill_record(data, found);
        name = win32::from_wide(data.cFileName);
        found.name = name;
        visit(found);
        if (const int error = hooked_error(recordsRead)) {
            return {SearchEnd::read_error, error};
        }
        if (!FindNextFileW(handle, &data)) {
            return search_end();
        }
    }
}

} // namespace

SearchResult find_files(std::string_view pattern,
                        const std::function<void(const FoundFile&)>& visit) {
    std::string name;
    if (!win32::c_text(pattern, name)) {
        return {SearchEnd::not_searched};
    }
    return win32::ansi_text() ? find_ansi(name, visit) : find_wide(name, visit);
}

bool keep_searches(const SearchKeeping&) {
    return false;
}

void set_directory_read_hook(DirectoryReadHook hook) {
    read_hook.store(hook, std::memory_order_relaxed);
}

std::string full_path(std::string_view name) {
    std::string path;
    if (!win32::c_text(name, path)) {
        return std::string(name);
    }
    if (win32::ansi_text()) {
        std::string buffer(MAX_PATH, '\0');
        for (;;) {
            const DWORD n = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()),
                                             buffer.data(), nullptr);
            if (n == 0) {
                return path;
            }
            if (n < buffer.size()) {
                buffer.resize(n);
                return buffer;
            }
            buffer.resize(n);
        }
    }
    const std::wstring wide = win32::to_wide(path);
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()),
                                         buffer.data(), nullptr);
        if (n == 0) {
            return path;
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            return win32::from_wide(buffer);
        }
        buffer.resize(n);
    }
}

char path_separator() {
    return '\\';
}

std::ptrdiff_t path_root_length(std::string_view path) {
    if (path.size() <= 1) {
        return 0;
    }
    const auto first = static_cast<unsigned char>(path[0]);
    const bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    if (letter && path[1] == ':') {
        return 2;
    }
    if (path[0] != '\\' || path[1] != '\\') {
        return 0;
    }
    // "\\server\share": the root ends at the backslash behind the share
    // name. A trail byte 0x5C of a double-byte character is no backslash.
    int seen = 0;
    for (std::size_t i = 2; i < path.size(); i += char_length(path, i)) {
        if (path[i] == '\\' && char_length(path, i) == 1 && ++seen == 2) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return seen == 0 ? -1 : static_cast<std::ptrdiff_t>(path.size());
}

bool href_keeps_double_byte() {
    // The browser sends the same Shift_JIS bytes back and the server's file
    // system knows the name by them.
    return true;
}

} // namespace platform
