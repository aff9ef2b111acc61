// What Vanecfg's model asks of its window toolkit: the message boxes
// (caption "Dirvane"), the OK/Cancel question, and opening a file or
// starting a program. The view implements the boxes; the tests fake it all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// failure_message is `message` followed by the file it concerns and the
// system's reason: " <message>\r\n <path>: <reason>".
std::string failure_message(std::string_view message, std::string_view path,
                            std::string_view reason);

class ToolUi {
  public:
    virtual ~ToolUi() = default;

    // show_error shows `message` with the error icon and an OK button.
    virtual void show_error(std::string_view message) = 0;

    // show_information shows `message` with the information icon and OK.
    virtual void show_information(std::string_view message) = 0;

    // ask_ok_cancel asks `question` with the information icon and the OK and
    // Cancel buttons; true only when the user chose OK.
    virtual bool ask_ok_cancel(std::string_view question) = 0;

    // open_document opens `path` with the desktop's default program for it
    // (the shell's "open" verb); false when nothing could be started. Every
    // toolkit does this through the system; the tests fake it.
    virtual bool open_document(const std::string& path);

    // start_program starts `program` with `arguments`, without waiting and
    // without a shell; false when it could not be started.
    virtual bool start_program(const std::string& program,
                               const std::vector<std::string>& arguments);
};
