// Win32 only: profile files through the system's profile services
// (GetPrivateProfileStringA, WritePrivateProfileStringA), which compare
// names without regard to case, trim values and remove one pair of quotes
// around them. Texts are bytes in the ANSI code page.
#include "platform/profile.h"

#include "platform/common/profile_text.h"
#include "platform/win32/wide_text.h"

#include <windows.h>

#include <string>

namespace platform {

namespace {

// missing_marker is the default handed to the system so that a missing key
// can be told from a key with an empty value: no file holds this text as a
// value (it has control bytes, and the system would trim none of it).
constexpr char missing_marker[] = "\x01\x7F<no value>\x7F\x01";

bool has_nul(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}

// absolute_path makes `path` absolute: the system looks for a file named
// without a folder in the Windows folder, not in the working directory.
std::string absolute_path(std::string_view path) {
    if (path.empty() || has_nul(path)) {
        return std::string();
    }
    const std::string relative(path);
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetFullPathNameA(relative.c_str(), static_cast<DWORD>(buffer.size()),
                                              buffer.data(), nullptr);
        if (length == 0) {
            return std::string();
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.assign(length + 1, '\0');
    }
}

} // namespace

std::string read_profile_string(std::string_view path, std::string_view section,
                                std::string_view key, std::string_view fallback) {
    const std::string file = absolute_path(path);
    const std::string wantedSection(profile_trim(section));
    const std::string wantedKey(profile_trim(key));
    if (file.empty() || wantedSection.empty() || wantedKey.empty() || has_nul(section) ||
        has_nul(key)) {
        return std::string(fallback);
    }
    std::string buffer(256, '\0');
    for (;;) {
        const DWORD length = GetPrivateProfileStringA(
            wantedSection.c_str(), wantedKey.c_str(), missing_marker, buffer.data(),
            static_cast<DWORD>(buffer.size()), file.c_str());
        // A value that filled the buffer may have been cut: try a larger one.
        if (length + 1 >= buffer.size()) {
            buffer.assign(buffer.size() * 4, '\0');
            continue;
        }
        buffer.resize(length);
        break;
    }
    if (buffer == missing_marker) {
        return std::string(fallback);
    }
    return buffer;
}

Outcome<void> write_profile_string(std::string_view path, std::string_view section,
                                   std::string_view key, std::string_view value) {
    // cannot_write is the failure with the system's reason `code`.
    const auto cannot_write = [&](DWORD code) {
        return Failure{"cannot write", std::string(path), win32::error_text(code)};
    };
    if (!valid_profile_entry(section, key, value) || has_nul(section) || has_nul(key) ||
        has_nul(value)) {
        return cannot_write(ERROR_INVALID_PARAMETER);
    }
    const std::string file = absolute_path(path);
    if (file.empty()) {
        return cannot_write(GetLastError());
    }
    const std::string wantedSection(profile_trim(section));
    const std::string wantedKey(profile_trim(key));
    const std::string text(value);
    if (WritePrivateProfileStringA(wantedSection.c_str(), wantedKey.c_str(), text.c_str(),
                                   file.c_str()) == FALSE) {
        return cannot_write(GetLastError());
    }
    return {};
}

} // namespace platform
