#include "tool/vanecfg/qt_tool_ui.h"

#include "tool/vanecfg/qt_text.h"

#include <QMessageBox>

namespace {

constexpr const char* caption = "Dirvane";

} // namespace

void QtToolUi::show_error(std::string_view message) {
    QMessageBox::critical(m_parent, caption, to_qt(message));
}

void QtToolUi::show_information(std::string_view message) {
    QMessageBox::information(m_parent, caption, to_qt(message));
}

bool QtToolUi::ask_ok_cancel(std::string_view question) {
    QMessageBox box(QMessageBox::Information, caption, to_qt(question),
                    QMessageBox::Ok | QMessageBox::Cancel, m_parent);
    return box.exec() == QMessageBox::Ok;
}
