// Web server registration: binds the folder settings file to Dirvane in the
// AnHTTPd registry values, so that the server takes the file as a folder's
// index document and runs Dirvane for its extension. The model behind the
// button of the tool settings dialog; the dialog only shows what it returns.
#pragma once

#include "platform/registry.h"
#include "tool/registry_schema.h"
#include "tool/tool_ui.h"

#include <string>
#include <string_view>

// The button's captions and its question (caption "Dirvane"); the messages
// after a change are in registry_schema.h.
inline constexpr std::string_view regist_add_caption = "AnHTTPD登録追加";
inline constexpr std::string_view regist_remove_caption = "AnHTTPD登録削除";
inline constexpr std::string_view regist_question =
    " レジストリを変更します。\r\n AnHTTPDが実行中であれば、終了させてください。　";

// Why the button is disabled (its tool tip), each followed by the store's
// reason on a line of its own: the index list is missing or empty, or the
// store cannot be read at all (the reason names the file and the line).
inline constexpr std::string_view regist_no_list_reason =
    " AnHTTPDのインデックス文書の一覧がありません。　";
inline constexpr std::string_view regist_unreadable_reason = " レジストリを読めません。　";
// regist_keys_hint says where the list comes from, after a missing one.
extern const std::string_view regist_keys_hint;

// RegistButton is the state of the registration button.
struct RegistButton {
    std::string_view caption; // regist_add_caption or regist_remove_caption
    bool enabled = false;
    std::string reason; // why it is disabled; "" when enabled
};

// regist_button_state returns the button's state: disabled and "add" while
// the index list is empty or missing, with the reason; otherwise enabled,
// "remove" when `confName` is registered and "add" when it is not.
RegistButton regist_button_state(const platform::RegistryStore& store, std::string_view confName);

// regist_click is the registration button: without an extension in
// `confName` nothing happens, not even the question; otherwise the user is
// asked (regist_question) and on OK the registration is added or removed
// and the outcome shown (a failure with the store's reason). True when something changed and every
// write succeeded (the dialog then shows the button's new state).
bool regist_click(ToolUi& ui, platform::RegistryStore& store, std::string_view confName,
                  std::string_view cgiPath);
