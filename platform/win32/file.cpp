// Win32 only: files through CreateFileA/ReadFile/WriteFile, append-only
// handles (FILE_APPEND_DATA) wrapped as run-time library descriptors,
// GetFileAttributesA, CreateDirectoryA, MoveFileA, DeleteFileA, ReplaceFileA
// and the working directory; the wide functions for UTF-8 names.
#include "platform/file.h"

#include "platform/common/file_outcome.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "platform/win32/append_lock.h"
#include "platform/win32/handle_io.h"
#include "platform/win32/wide_text.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace platform {

namespace {

using win32::ansi_text;
using win32::c_text;
using win32::to_wide;

// by_charset calls `ansi` with the path's bytes while they are the ANSI
// code page, else `wide` with the path converted.
template <typename Ansi, typename Wide>
auto by_charset(const std::string& path, Ansi ansi, Wide wide) {
    if (ansi_text()) {
        return ansi(path.c_str());
    }
    const std::wstring name = to_wide(path);
    return wide(name.c_str());
}

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::atomic<ReplaceHook> replace_hook{nullptr};

HANDLE open_file(const std::string& path, DWORD access, DWORD disposition) {
    return by_charset(
        path,
        [&](const char* name) {
            return CreateFileA(name, access, share_all, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        },
        [&](const wchar_t* name) {
            return CreateFileW(name, access, share_all, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        });
}

DWORD attributes_of(const std::string& path) {
    return by_charset(
        path, [](const char* name) { return GetFileAttributesA(name); },
        [](const wchar_t* name) { return GetFileAttributesW(name); });
}

bool remove_file(const std::string& path) {
    return by_charset(
               path, [](const char* name) { return DeleteFileA(name); },
               [](const wchar_t* name) { return DeleteFileW(name); }) != FALSE;
}

// write_and_close writes `bytes`, flushes them to the disk and closes the
// handle; false when any of that fails.
bool write_and_close(HANDLE handle, std::string_view bytes) {
    const bool written = win32::write_all(handle, bytes) && FlushFileBuffers(handle);
    return CloseHandle(handle) && written;
}

HANDLE handle_of(FileHandle file) {
    return file < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(file));
}

// is_separator tells whether the byte at `i` is a path separator, and not
// the trail byte of a double-byte character.
bool is_separator(std::string_view path, std::size_t i) {
    return (path[i] == '\\' || path[i] == '/') && char_length(path, i) == 1;
}

} // namespace

Failure file_outcome::last_failure(const char* operation, std::string_view path) {
    const DWORD code = GetLastError();
    Failure failure{operation, std::string(path), win32::error_text(code)};
    SetLastError(code);
    return failure;
}

std::string current_directory() {
    if (ansi_text()) {
        const DWORD n = GetCurrentDirectoryA(0, nullptr);
        if (n == 0) {
            return std::string();
        }
        std::string buffer(n, '\0');
        const DWORD got = GetCurrentDirectoryA(n, buffer.data());
        buffer.resize(got < n ? got : 0);
        return buffer;
    }
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0) {
        return std::string();
    }
    std::wstring buffer(n, L'\0');
    const DWORD got = GetCurrentDirectoryW(n, buffer.data());
    buffer.resize(got < n ? got : 0);
    return win32::from_wide(buffer);
}

namespace {

// enter_directory is set_current_directory, the last error set on failure.
bool enter_directory(std::string_view path) {
    std::string name;
    return c_text(path, name) &&
           by_charset(
               name, [](const char* n) { return SetCurrentDirectoryA(n); },
               [](const wchar_t* n) { return SetCurrentDirectoryW(n); }) != FALSE;
}

} // namespace

bool read_file_contents(std::string_view path, std::string& bytes) {
    bytes.clear();
    std::string name;
    if (!c_text(path, name)) {
        return false;
    }
    const HANDLE handle = open_file(name, GENERIC_READ, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    // Only a file on a disk is read (no pipe, no device), and only up to
    // the limit.
    LARGE_INTEGER size{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size) ||
        size.QuadPart < 0 || static_cast<ULONGLONG>(size.QuadPart) > max_file_contents) {
        CloseHandle(handle);
        return false;
    }
    // One byte more than the limit tells a file that grew since its size
    // was taken.
    bytes.resize(static_cast<std::size_t>(size.QuadPart) + 1);
    std::size_t got = 0;
    bool ok = true;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() > max_file_contents) {
                ok = false;
                break;
            }
            bytes.resize(std::min(bytes.size() * 2, max_file_contents + 1));
        }
        DWORD n = 0;
        if (!ReadFile(handle, bytes.data() + got, static_cast<DWORD>(bytes.size() - got), &n,
                      nullptr)) {
            ok = false;
            break;
        }
        if (n == 0) {
            break;
        }
        got += n;
    }
    CloseHandle(handle);
    if (!ok) {
        bytes.clear();
        return false;
    }
    bytes.resize(got);
    return true;
}

namespace {

// create_new_file is write_new_file, the last error set on failure.
bool create_new_file(std::string_view path, std::string_view bytes) {
    std::string name;
    if (!c_text(path, name)) {
        return false;
    }
    const HANDLE handle = open_file(name, GENERIC_WRITE, CREATE_NEW);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    if (!write_and_close(handle, bytes)) {
        remove_file(name);
        return false;
    }
    return true;
}

} // namespace

bool replace_file_contents(std::string_view path, std::string_view bytes) {
    std::string name;
    if (!c_text(path, name)) {
        return false;
    }
    const DWORD attributes = attributes_of(name);
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (existed && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    const std::string temp = name + ".tmp";
    const HANDLE handle = open_file(temp, GENERIC_WRITE, CREATE_ALWAYS);
    if (handle != INVALID_HANDLE_VALUE) {
        if (!write_and_close(handle, bytes)) {
            remove_file(temp);
            return false;
        }
        if (const ReplaceHook hook = replace_hook.load()) {
            hook(temp);
        }
        // ReplaceFile keeps the old file's access rights and attributes.
        const bool replaced =
            by_charset(
                name,
                [&](const char* n) {
                    return existed ? ReplaceFileA(n, temp.c_str(), nullptr,
                                                  REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                                   : MoveFileExA(temp.c_str(), n, MOVEFILE_WRITE_THROUGH);
                },
                [&](const wchar_t* n) {
                    const std::wstring t = to_wide(temp);
                    return existed ? ReplaceFileW(n, t.c_str(), nullptr,
                                                  REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                                   : MoveFileExW(t.c_str(), n, MOVEFILE_WRITE_THROUGH);
                }) != FALSE;
        if (replaced) {
            return true;
        }
        remove_file(temp);
        return false;
    }
    // No file can be made beside it (a read-only folder): rewrite in place.
    const HANDLE in = open_file(name, GENERIC_WRITE, existed ? TRUNCATE_EXISTING : CREATE_NEW);
    return in != INVALID_HANDLE_VALUE && write_and_close(in, bytes);
}

namespace {

// append_descriptor wraps an append-only handle as a run-time library
// descriptor; no_file, with the handle closed, when that fails.
FileHandle append_descriptor(HANDLE handle) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return no_file;
    }
    return fd;
}

// open_append is open_append_file, the last error set on failure.
FileHandle open_append(std::string_view path, bool truncate) {
    std::string name;
    if (!c_text(path, name)) {
        return no_file;
    }
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end
    // of the file in one step, also with other processes writing.
    HANDLE handle = open_file(name, FILE_APPEND_DATA | SYNCHRONIZE, OPEN_ALWAYS);
    if (handle == INVALID_HANDLE_VALUE) {
        return no_file;
    }
    if (truncate) {
        CloseHandle(handle);
        const HANDLE emptied = open_file(name, GENERIC_WRITE, TRUNCATE_EXISTING);
        if (emptied == INVALID_HANDLE_VALUE) {
            return no_file;
        }
        CloseHandle(emptied);
        handle = open_file(name, FILE_APPEND_DATA | SYNCHRONIZE, OPEN_ALWAYS);
        if (handle == INVALID_HANDLE_VALUE) {
            return no_file;
        }
    }
    return append_descriptor(handle);
}

// plain_directory: `path` is a folder that is no reparse point (no junction,
// no symbolic link).
bool plain_directory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// open_append_inside is open_append_file_inside, the last error set on failure.
FileHandle open_append_inside(std::string_view relative) {
    std::string text;
    if (!c_text(relative, text)) {
        return no_file;
    }
    // Each folder on the way is looked at (and made when missing) before the
    // next: a reparse point anywhere ends the open.
    std::string prefix;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = start;
        while (end < text.size() && !(text[end] == '\\' && char_length(text, end) == 1)) {
            end += char_length(text, end);
        }
        const std::string name = text.substr(start, end - start);
        if (name.empty() || name == "." || name == ".." || name.find(':') != std::string::npos ||
            (start == 0 && (text[0] == '\\' || text[0] == '/'))) {
            return no_file;
        }
        if (!prefix.empty()) {
            prefix += '\\';
        }
        prefix += name;
        if (end >= text.size()) {
            break;
        }
        const std::wstring folder = to_wide(prefix);
        if (!plain_directory(folder)) {
            CreateDirectoryW(folder.c_str(), nullptr);
            if (!plain_directory(folder)) {
                return no_file;
            }
        }
        start = end + 1;
    }
    const std::wstring file = to_wide(prefix);
    // The file itself is opened as it is, a reparse point included, and kept
    // only when it is a plain file of one name. FILE_APPEND_DATA without
    // FILE_WRITE_DATA: every write goes to the end of the file.
    const HANDLE handle =
        CreateFileW(file.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, share_all, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return no_file;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain =
        GetFileInformationByHandle(handle, &info) != FALSE &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
        info.nNumberOfLinks == 1 && GetFileType(handle) == FILE_TYPE_DISK;
    if (!plain) {
        CloseHandle(handle);
        return no_file;
    }
    return append_descriptor(handle);
}

// open_append_at_once is open_append_file_at_once, the last error set on failure.
FileHandle open_append_at_once(std::string_view path, bool& special) {
    special = false;
    const FileHandle fd = open_append(path, false);
    special = fd != no_file && GetFileType(handle_of(fd)) != FILE_TYPE_DISK;
    return fd;
}

} // namespace

bool file_stamp(std::string_view path, FileStamp& stamp) {
    std::string name;
    if (!c_text(path, name)) {
        return false;
    }
    const HANDLE handle = open_file(name, FILE_READ_ATTRIBUTES, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileType(handle) == FILE_TYPE_DISK &&
                    GetFileInformationByHandle(handle, &info) &&
                    (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    CloseHandle(handle);
    if (!ok) {
        return false;
    }
    const auto wide = [](DWORD high, DWORD low) {
        return (static_cast<std::uint64_t>(high) << 32) | low;
    };
    stamp.device = info.dwVolumeSerialNumber;
    stamp.file = wide(info.nFileIndexHigh, info.nFileIndexLow);
    stamp.size = wide(info.nFileSizeHigh, info.nFileSizeLow);
    const std::uint64_t ticks =
        wide(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    stamp.seconds = static_cast<std::int64_t>(ticks / 10000000u);
    stamp.nanoseconds = static_cast<std::int64_t>(ticks % 10000000u) * 100;
    return true;
}

bool append_record(FileHandle file, std::string_view bytes) {
    const HANDLE handle = handle_of(file);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    if (bytes.empty()) {
        return true;
    }
    if (bytes.size() > 0xFFFFFFFFu) {
        return false;
    }
    const win32::AppendLock lock(handle);
    DWORD written = 0;
    const BOOL ok =
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (ok && written == bytes.size()) {
        return true;
    }
    if (written == 0) {
        return false;
    }
    // The write went to the end of the file and the file pointer stands
    // behind it; when the file still ends there, no other writer has
    // appended since, and the part is cut off again.
    LARGE_INTEGER zero{};
    LARGE_INTEGER end{};
    LARGE_INTEGER size{};
    if (SetFilePointerEx(handle, zero, &end, FILE_CURRENT) && GetFileSizeEx(handle, &size) &&
        end.QuadPart == size.QuadPart && end.QuadPart >= static_cast<LONGLONG>(written)) {
        FILE_END_OF_FILE_INFO cut{};
        cut.EndOfFile.QuadPart = end.QuadPart - written;
        SetFileInformationByHandle(handle, FileEndOfFileInfo, &cut, sizeof cut);
    }
    return false;
}

std::int64_t file_length(FileHandle file) {
    LARGE_INTEGER size{};
    const HANDLE handle = handle_of(file);
    if (handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle, &size)) {
        return -1;
    }
    return static_cast<std::int64_t>(size.QuadPart);
}

void close_file(FileHandle file) {
    if (file >= 0) {
        _close(file);
    }
}

PathKind path_kind(std::string_view path) {
    std::string name;
    if (!c_text(path, name)) {
        return PathKind::missing;
    }
    const DWORD attributes = attributes_of(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return PathKind::missing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::directory : PathKind::file;
}

namespace {

// make_directories is create_directories, the last error set on failure.
bool make_directories(std::string_view path) {
    std::string name;
    if (!c_text(path, name)) {
        return false;
    }
    while (name.size() > 1 && is_separator(name, name.size() - 1) &&
           !(name.size() == 3 && name[1] == ':')) {
        name.pop_back();
    }
    if (path_kind(name) == PathKind::directory) {
        return true;
    }
    // Create each prefix that ends before a separator behind the root, then
    // the whole path; a prefix that exists already is no failure.
    const std::ptrdiff_t root = path_root_length(name);
    std::size_t from = root > 0 ? static_cast<std::size_t>(root) + 1 : 1;
    for (std::size_t i = from; i <= name.size(); i += i < name.size() ? char_length(name, i) : 1) {
        if (i < name.size() && !is_separator(name, i)) {
            continue;
        }
        const std::string prefix = name.substr(0, i);
        const bool made =
            by_charset(
                prefix, [](const char* n) { return CreateDirectoryA(n, nullptr); },
                [](const wchar_t* n) { return CreateDirectoryW(n, nullptr); }) != FALSE;
        if (!made && GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    return path_kind(name) == PathKind::directory;
}

// rename_file is move_file, the last error set on failure.
bool rename_file(std::string_view from, std::string_view to) {
    std::string source;
    std::string target;
    if (!c_text(from, source) || !c_text(to, target)) {
        return false;
    }
    // MoveFile fails when the target exists.
    if (ansi_text()) {
        return MoveFileA(source.c_str(), target.c_str()) != FALSE;
    }
    return MoveFileW(to_wide(source).c_str(), to_wide(target).c_str()) != FALSE;
}

} // namespace

bool delete_file(std::string_view path) {
    std::string name;
    return c_text(path, name) && remove_file(name);
}

std::size_t max_path_length() {
    return 260;
}

std::string absolute_path(std::string_view name) {
    // GetFullPathName joins the name to the working directory and removes
    // "." and ".." components and repeated separators; it never looks at
    // the file system.
    std::string path;
    if (!c_text(name, path) && !name.empty()) {
        return std::string();
    }
    if (path.empty()) {
        path = ".\\";
    }
    if (ansi_text()) {
        const DWORD n = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
        if (n == 0) {
            return std::string();
        }
        std::string buffer(n, '\0');
        const DWORD got = GetFullPathNameA(path.c_str(), n, buffer.data(), nullptr);
        buffer.resize(got < n ? got : 0);
        return buffer;
    }
    const std::wstring wide = to_wide(path);
    const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) {
        return std::string();
    }
    std::wstring buffer(n, L'\0');
    const DWORD got = GetFullPathNameW(wide.c_str(), n, buffer.data(), nullptr);
    buffer.resize(got < n ? got : 0);
    return win32::from_wide(buffer);
}

FileLock::~FileLock() {
    const HANDLE handle = handle_of(m_file);
    if (handle != INVALID_HANDLE_VALUE) {
        OVERLAPPED at{};
        UnlockFileEx(handle, 0, 1, 0, &at);
    }
    close_file(m_file);
}

namespace {

// lock_file opens the lock file `path` and waits for its lock; no_file
// (the last error set) when it cannot.
FileHandle lock_file(std::string_view path) {
    std::string name;
    if (!c_text(path, name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return no_file;
    }
    const HANDLE handle = open_file(name, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (handle == INVALID_HANDLE_VALUE) {
        return no_file;
    }
    // The first byte, which need not exist: LockFileEx waits for it.
    OVERLAPPED at{};
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
        const DWORD code = GetLastError();
        CloseHandle(handle);
        SetLastError(code);
        return no_file;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle); // closing releases the lock
        return no_file;
    }
    return fd;
}

} // namespace

Outcome<void> FileLock::acquire(std::string_view path) {
    if (m_file != no_file) {
        SetLastError(ERROR_INVALID_PARAMETER); // held already
        return file_outcome::last_failure("cannot lock", path);
    }
    m_file = lock_file(path);
    return file_outcome::done(m_file != no_file, "cannot lock", path);
}

// ---- the services that tell why they failed ----------------------------

Outcome<void> set_current_directory(std::string_view path) {
    return file_outcome::done(enter_directory(path), "cannot enter", path);
}

Outcome<void> write_new_file(std::string_view path, std::string_view bytes) {
    return file_outcome::done(create_new_file(path, bytes), "cannot create", path);
}

Outcome<FileHandle> open_append_file(std::string_view path, bool truncate) {
    return file_outcome::opened(open_append(path, truncate), path);
}

Outcome<FileHandle> open_append_file_inside(std::string_view relative) {
    return file_outcome::opened(open_append_inside(relative), relative);
}

Outcome<FileHandle> open_append_file_at_once(std::string_view path, bool& special) {
    return file_outcome::opened(open_append_at_once(path, special), path);
}

Outcome<void> create_directories(std::string_view path) {
    return file_outcome::done(make_directories(path), "cannot create the folder", path);
}

Outcome<void> move_file(std::string_view from, std::string_view to) {
    return file_outcome::done(rename_file(from, to), "cannot move", from);
}

void set_replace_hook(ReplaceHook hook) {
    replace_hook.store(hook);
}

} // namespace platform
