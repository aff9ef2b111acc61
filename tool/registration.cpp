// Web server registration: the add and remove steps on the AnHTTPd values.
#include "tool/registration.h"

#include <algorithm>
#include <limits>

namespace {

// erase_first removes the first occurrence of `part` from `list`; false
// when there is none.
bool erase_first(std::string& list, std::string_view part) {
    const std::size_t at = list.find(part);
    if (at == std::string::npos) {
        return false;
    }
    list.erase(at, part.size());
    return true;
}

// value_present tells whether `name` is a value of `key` (of either type).
bool value_present(const platform::RegistryStore& store, std::string_view key,
                   std::string_view name) {
    for (const std::string& n : store.value_names(key)) {
        if (n.size() == name.size() &&
            std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
                const auto lower = [](char c) {
                    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
                };
                return lower(a) == lower(b);
            })) {
            return true;
        }
    }
    return false;
}

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

std::string conf_extension(std::string_view confName) {
    const std::size_t dot = confName.find('.');
    return dot == std::string_view::npos ? std::string() : std::string(confName.substr(dot));
}

bool is_registered(const platform::RegistryStore& store, std::string_view confName) {
    const std::string list = store.read_text(anhttpd_index_key, anhttpd_index_list);
    return !list.empty() && list.find(confName) != std::string::npos;
}

RegistButton regist_button_state(const platform::RegistryStore& store, std::string_view confName) {
    RegistButton button{regist_add_caption, false, {}};
    const std::string list = store.read_text(anhttpd_index_key, anhttpd_index_list);
    if (list.empty()) {
        std::string error = store.last_error();
        // A missing file, key or value is created by a server start; a
        // store that cannot be read at all is another matter.
        const platform::RegistryFailure failure = store.last_failure();
        const bool missing = failure == platform::RegistryFailure::none ||
                             failure == platform::RegistryFailure::missing;
        if (error.empty()) { // the value is there and empty
            error = store.path() + ": \"" + std::string(anhttpd_index_list) + "\" in " +
                    full_key(anhttpd_index_key) + " is empty";
        }
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

RegistResult change_registration(platform::RegistryStore& store, std::string_view confName,
                                 std::string_view cgiPath) {
    RegistResult result;
    const std::string ext = conf_extension(confName);
    if (ext.empty()) {
        return result;
    }
    std::string list = store.read_text(anhttpd_index_key, anhttpd_index_list);
    const std::uint32_t oldAttrs = store.read_number(anhttpd_attrs_key, ext);
    const std::uint32_t oldCount = store.read_number(anhttpd_progs_key, anhttpd_count);

    // step notes the outcome of one write or delete; the first failure's
    // reason is kept (a later success clears the store's last_error).
    const auto step = [&](bool ok) {
        if (!ok && result.ok) {
            result.ok = false;
            result.error = store.last_error();
        }
    };
    const std::string name(confName);
    if (list.find(name) != std::string::npos) {
        result.change = RegistChange::removed;
        erase_first(list, "," + name);
        erase_first(list, name + ",");
        erase_first(list, name);
        step(store.write_text(anhttpd_index_key, anhttpd_index_list, list));
        step(store.delete_value(anhttpd_attrs_key, ext));
        step(store.delete_value(anhttpd_names_key, ext));
        if (oldAttrs != 0) {
            step(store.write_number(anhttpd_progs_key, anhttpd_count,
                                    oldCount == 0 ? 0 : oldCount - 1));
        }
    } else {
        result.change = RegistChange::added;
        if (!list.empty() && list.back() != ',') {
            list += ',';
        }
        list += name;
        step(store.write_text(anhttpd_index_key, anhttpd_index_list, list));
        step(store.write_number(anhttpd_attrs_key, ext, anhttpd_cgi_attributes));
        step(store.write_text(anhttpd_names_key, ext, cgiPath));
        if (oldAttrs == 0) {
            const std::uint32_t top = std::numeric_limits<std::uint32_t>::max();
            step(store.write_number(anhttpd_progs_key, anhttpd_count,
                                    oldCount == top ? top : oldCount + 1));
        }
    }
    return result;
}

bool ensure_anhttpd_keys(platform::RegistryStore& store) {
    for (std::string_view key :
         {anhttpd_index_key, anhttpd_progs_key, anhttpd_attrs_key, anhttpd_names_key}) {
        if (!store.create_key(key)) {
            return false;
        }
    }
    if (!value_present(store, anhttpd_index_key, anhttpd_index_list) &&
        !store.write_text(anhttpd_index_key, anhttpd_index_list, "index.html,index.htm")) {
        return false;
    }
    if (!value_present(store, anhttpd_progs_key, anhttpd_count) &&
        !store.write_number(anhttpd_progs_key, anhttpd_count, 0)) {
        return false;
    }
    return true;
}

bool regist_click(ToolUi& ui, platform::RegistryStore& store, std::string_view confName,
                  std::string_view cgiPath) {
    if (conf_extension(confName).empty())
        return false;
    if (!ui.ask_ok_cancel(regist_question))
        return false;
    const RegistResult result = change_registration(store, confName, cgiPath);
    if (!result.ok) {
        std::string message(regist_error_message);
        message.append("\r\n ").append(result.error);
        ui.show_error(message);
        return false;
    }
    ui.show_information(regist_done_message);
    return true;
}
