// Web server registration: the button's state and its click.
#include "tool/registration.h"

namespace {

// full_key is `key` as the registry names it.
std::string full_key(std::string_view key) {
    return "HKEY_LOCAL_MACHINE\\" + std::string(key);
}

} // namespace

#ifdef _WIN32
const std::string_view regist_keys_hint = " AnHTTPDをインストールして一度起動してください。　";
#else
const std::string_view regist_keys_hint =
    " 一覧は dirvane-httpd の初回起動か dirvane-httpd --register で作られます。　";
#endif

RegistButton regist_button_state(const platform::RegistryStore& store, std::string_view confName) {
    RegistButton button{regist_add_caption, false, {}};
    const platform::RegistryOutcome<std::string> read =
        store.read_text(anhttpd_index_key, anhttpd_index_list);
    const std::string list = read.value_or("");
    if (list.empty()) {
        // A missing file, key or value is created by a server start; a
        // store that cannot be read at all is another matter.
        const bool missing = read || read.failure().kind == platform::RegistryFault::missing;
        const std::string error = read ? store.path() + ": \"" + std::string(anhttpd_index_list) +
                                             "\" in " + full_key(anhttpd_index_key) + " is empty"
                                       : read.failure().message();
        if (missing) {
            button.reason.append(regist_no_list_reason).append("\r\n ").append(error);
            button.reason.append("\r\n").append(regist_keys_hint);
        } else {
            button.reason.append(regist_unreadable_reason).append("\r\n ").append(error);
        }
        return button;
    }
    button.enabled = true;
    if (list.find(confName) != std::string::npos) {
        button.caption = regist_remove_caption;
    }
    return button;
}

bool regist_click(ToolUi& ui, platform::RegistryStore& store, std::string_view confName,
                  std::string_view cgiPath) {
    if (conf_extension(confName).empty())
        return false;
    if (!ui.ask_ok_cancel(regist_question))
        return false;
    const RegistResult result = change_registration(store, confName, cgiPath);
    if (result.failure) {
        std::string message(regist_error_message);
        message.append("\r\n ").append(result.failure->message());
        ui.show_error(message);
        return false;
    }
    ui.show_information(regist_done_message);
    return true;
}
