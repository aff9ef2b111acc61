// Win32ToolUi shows the model's messages with MessageBoxA (caption
// "Dirvane") over the window that is in front, and opens files and starts
// programs through the platform's shell services.
#pragma once

#include "tool/tool_ui.h"

#include <windows.h>

class Win32ToolUi : public ToolUi {
  public:
    // set_owner names the window the message boxes belong to.
    void set_owner(HWND owner) { m_owner = owner; }

    void show_error(std::string_view message) override;
    void show_information(std::string_view message) override;
    bool ask_ok_cancel(std::string_view question) override;

  private:
    int message_box(std::string_view text, UINT type) const;

    HWND m_owner = nullptr;
};
