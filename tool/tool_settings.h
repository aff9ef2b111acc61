// Vanecfg's own settings ("Vanecfg.ini" in the tool folder, section "tool"):
// where Dirvane is installed, the folder settings file's name, the template
// for new folder settings files, the editor and the test user agents. The
// tool settings dialog holds them as a ToolSettings; every other window
// reads them through the accessors below.
#pragma once

#include "tool/tool_ui.h"

#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view tool_settings_file_name = "Vanecfg.ini";
inline constexpr std::string_view tool_section = "tool";
inline constexpr std::string_view default_conf_name = "config.index";

// The whole text of the tool settings file created when there is none.
inline constexpr std::string_view default_tool_settings_text =
    "# Vanecfg.ini\r\n\r\n[tool]\r\nswfile=0\r\n\r\n[ini]\r\n\r\n[conf]\r\n\r\n";

// user_agent_slots is the number of stored user agents, ua0 to ua9.
inline constexpr std::size_t user_agent_slots = 10;

// ToolSettings mirrors the tool settings dialog's controls.
struct ToolSettings {
    std::string iniDir;                  // EditIniDir: the folder of Dirvane and Dirvane.ini
    std::string confName;                // EditConfName
    std::string confTemplate;            // EditConfTemplate
    std::string editor;                  // EditEditor: never stored, kept for the run
    std::vector<std::string> userAgents; // ComboUA's items, most recent first
    std::string userAgent;               // ComboUA's text: the display test's user agent
};

// tool_file_path joins `folder` and `name` with the path separator.
std::string tool_file_path(std::string_view folder, std::string_view name);

// The defaults of "inidir" and "template": on Windows the tool folder and
// its config.index.txt; elsewhere the folders Dirvane and the template are
// installed in (the tool folder is the user's settings folder there).
std::string default_cgi_folder(std::string_view toolFolder);
std::string default_template(std::string_view toolFolder);

// load_tool_settings fills `settings` from the file at `settingsPath`, with
// the defaults for the tool folder `toolFolder` where keys are missing:
// inidir (one trailing separator removed), confname, template, ua0..ua9
// (a missing or empty one gets its default), the first user agent as the
// combo text. The editor is left as it is.
void load_tool_settings(ToolSettings& settings, std::string_view settingsPath,
                        std::string_view toolFolder);

// save_error_message is shown when the tool settings file cannot be written.
inline constexpr std::string_view save_error_message = " 設定ファイルを保存できません。　";

// save_tool_settings writes inidir, confname and template as typed, puts a
// new combo text first in the list (at most ten kept) and writes ua0...
// Returns false when the file could not be written; the one taking `ui`
// then shows save_error_message with the file and the system's reason.
bool save_tool_settings(ToolSettings& settings, std::string_view settingsPath);
bool save_tool_settings(ToolUi& ui, ToolSettings& settings, std::string_view settingsPath);

// insert_user_agent puts `text` first in `list` when it is not empty and
// differs from the first item, then keeps at most ten items.
void insert_user_agent(std::vector<std::string>& list, std::string_view text);

// valid_conf_name tells whether `name` may name the folder settings file:
// empty (the default name) or one file name, without a separator ("/", and
// "\\" where it separates) and other than "." and "..". conf_name_message
// says why not.
bool valid_conf_name(std::string_view name);
inline constexpr std::string_view conf_name_message =
    " インデックス表示設定ファイル名には、フォルダを含まないファイル名を指定してください。　";

// The accessors: Dirvane.ini and the Dirvane program in iniDir as absolute
// paths (an empty iniDir is the root folder, a relative one lies in the
// working directory), the folder settings file's name ("config.index" when
// empty), the template path and the editor's absolute path when they name
// an existing file (else "").
std::string get_ini_path(const ToolSettings& settings);
std::string get_cgi_path(const ToolSettings& settings);
std::string get_conf_name(const ToolSettings& settings);
std::string get_template_path(const ToolSettings& settings);
std::string get_editor_path(const ToolSettings& settings);

// open_for_editing starts the editor with `file` as its one argument, or,
// without an editor, opens `file` with its default program; an empty
// `file` starts the editor alone, or nothing. The result is not checked.
void open_for_editing(ToolUi& ui, const ToolSettings& settings, const std::string& file);

// The main window's switch "swfile": created with the default text when the
// file is missing (silently nothing when it cannot be), read as a boolean
// (default false), written as "1" or "0".
bool create_default_tool_settings(std::string_view settingsPath);
bool read_show_files(std::string_view settingsPath);
bool write_show_files(std::string_view settingsPath, bool showFiles);
// save_show_files is write_show_files that shows save_error_message with the
// file and the system's reason when the write fails.
bool save_show_files(ToolUi& ui, std::string_view settingsPath, bool showFiles);
