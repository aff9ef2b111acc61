// The toolkit-free part of ToolUi: documents and programs are started
// through the system's own services.
#include "tool/tool_ui.h"

#include "platform/shell.h"

std::string failure_message(std::string_view message, std::string_view path,
                            std::string_view reason) {
    std::string text(message);
    text.append("\r\n ").append(path).append(": ").append(reason);
    return text;
}

bool ToolUi::open_document(const std::string& path) {
    return platform::open_with_default_program(path);
}

bool ToolUi::start_program(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return platform::start_detached(argv);
}
