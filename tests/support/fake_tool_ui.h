// FakeToolUi records what Vanecfg's model shows and starts, and answers its
// questions as the test says.
#pragma once

#include "support/host.h"
#include "tool/tool_ui.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

class FakeToolUi : public ToolUi {
  public:
    void show_error(std::string_view message) override { errors.emplace_back(message); }
    void show_information(std::string_view message) override { informations.emplace_back(message); }
    bool ask_ok_cancel(std::string_view question) override {
        questions.emplace_back(question);
        return answerOk;
    }
    bool open_document(const std::string& path) override {
        opened.push_back(path);
        return openSucceeds;
    }
    bool start_program(const std::string& program,
                       const std::vector<std::string>& arguments) override {
        started.push_back(program);
        startedArguments.push_back(arguments);
        return true;
    }

    bool answerOk = true;
    bool openSucceeds = true;
    std::vector<std::string> errors;
    std::vector<std::string> informations;
    std::vector<std::string> questions;
    std::vector<std::string> opened;
    std::vector<std::string> started;
    std::vector<std::vector<std::string>> startedArguments;
};

// missing_folder_failure tells whether `shown` is `message` with `path` and
// the system's reason for a path through a folder that does not exist (any
// reason on Windows, whose texts vary by version).
inline bool missing_folder_failure(const std::string& shown, std::string_view message,
                                   std::string_view path) {
    const std::string head = failure_message(message, path, "");
    if (shown.rfind(head, 0) != 0 || shown.size() == head.size())
        return false;
    return host_is_windows || shown.substr(head.size()) == std::strerror(ENOENT);
}
