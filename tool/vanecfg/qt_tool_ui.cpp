#include "tool/vanecfg/qt_tool_ui.h"

#include "tool/vanecfg/qt_text.h"

#include "platform/shell.h"

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

bool QtToolUi::open_document(const std::string& path) {
    return platform::open_with_default_program(path);
}

bool QtToolUi::start_program(const std::string& program,
                             const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return platform::start_detached(argv);
}
