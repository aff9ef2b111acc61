// Win32 only: MultiByteToWideChar and WideCharToMultiByte with code page 932
// or UTF-8, and FormatMessageA.
#include "platform/win32/wide_text.h"

#include "platform/text.h"

#include <windows.h>

#include <climits>

namespace platform::win32 {

bool ansi_text() {
    return text_charset() == Charset::shift_jis;
}

unsigned text_code_page() {
    return ansi_text() ? 932u : static_cast<unsigned>(CP_UTF8);
}

std::wstring to_wide(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) {
        return std::wstring();
    }
    const auto length = static_cast<int>(text.size());
    const UINT page = text_code_page();
    const int n = MultiByteToWideChar(page, 0, text.data(), length, nullptr, 0);
    if (n <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(page, 0, text.data(), length, wide.data(), n);
    return wide;
}

std::string from_wide(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) {
        return std::string();
    }
    const auto length = static_cast<int>(text.size());
    const UINT page = text_code_page();
    const int n = WideCharToMultiByte(page, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) {
        return std::string();
    }
    std::string bytes(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(page, 0, text.data(), length, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

bool c_text(std::string_view text, std::string& out) {
    if (text.empty() || text.find('\0') != std::string_view::npos) {
        return false;
    }
    out.assign(text);
    return true;
}

std::string error_text(unsigned long code) {
    char* buffer = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = n > 0 && buffer != nullptr ? std::string(buffer, n) : std::string();
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = "error " + std::to_string(code);
    }
    return text;
}

} // namespace platform::win32
