#include "tool/win32view/win32_tool_ui.h"

namespace {

constexpr const char* caption = "Dirvane";

} // namespace

int Win32ToolUi::message_box(std::string_view text, UINT type) const {
    const std::string message(text.substr(0, text.find('\0')));
    // A modal dialog in front owns the box, so that it stays modal to it.
    HWND owner = GetActiveWindow();
    if (owner == nullptr)
        owner = m_owner;
    return MessageBoxA(owner, message.c_str(), caption, type);
}

void Win32ToolUi::show_error(std::string_view message) {
    message_box(message, MB_OK | MB_ICONERROR);
}

void Win32ToolUi::show_information(std::string_view message) {
    message_box(message, MB_OK | MB_ICONINFORMATION);
}

bool Win32ToolUi::ask_ok_cancel(std::string_view question) {
    return message_box(question, MB_OKCANCEL | MB_ICONINFORMATION) == IDOK;
}
