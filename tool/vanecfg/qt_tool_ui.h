// QtToolUi shows the model's messages as message boxes with the caption
// "Dirvane" and opens files and programs through the desktop services.
#pragma once

#include "tool/tool_ui.h"

class QWidget;

class QtToolUi : public ToolUi {
  public:
    // Message boxes are centred on `parent` (may be null).
    explicit QtToolUi(QWidget* parent = nullptr) : m_parent(parent) {}
    void set_parent(QWidget* parent) { m_parent = parent; }

    void show_error(std::string_view message) override;
    void show_information(std::string_view message) override;
    bool ask_ok_cancel(std::string_view question) override;

  private:
    QWidget* m_parent;
};
