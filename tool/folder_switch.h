// Switching a folder's index page on and off: creating, deleting and
// editing its folder settings file, as the main window's buttons do.
#pragma once

#include "tool/tool_settings.h"
#include "tool/tool_ui.h"

#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view select_folder_message = " フォルダを選択して実行してください。　";
inline constexpr std::string_view create_error_message = " ファイル作成時にエラーが発生しました。 ";

// target_folders returns the folders a button acts on: the selected list
// items that are existing folders, in list order, or, with nothing selected
// in the list, the tree's folder whatever it is.
std::vector<std::string> target_folders(const std::vector<std::string>& selectedItems,
                                        const std::string& treeFolder);

// rename_failure_message is shown, with the entry and the reason, when a
// name changed in the list cannot be given to the entry.
inline constexpr std::string_view rename_failure_message = " 名前を変更できません。　";

// missing_folder_status begins the status line of a folder that has gone.
inline constexpr std::string_view missing_folder_status = "[フォルダがありません] ";

// status_line returns "[IndexON] " or "[IndexOFF] " and the tree's folder,
// by whether it holds the folder settings file, or missing_folder_status
// and the folder when it has gone; "" without a folder.
std::string status_line(std::string_view treeFolder, const ToolSettings& settings);

// conf_file_lines returns the content of a new folder settings file: the
// template's lines (CR LF, LF or CR end a line) or "# <confname>" and an
// empty line without a template. False when the template cannot be read.
bool conf_file_lines(const ToolSettings& settings, std::vector<std::string>& lines);

// create_conf_file writes `lines`, each ended by CR LF, to the folder's
// settings file unless it exists already; true when it exists afterwards.
// A failed write shows create_error_message with the file and the reason.
bool create_conf_file(ToolUi& ui, std::string_view folder, const std::vector<std::string>& lines,
                      const ToolSettings& settings);

// delete_conf_file deletes the folder's settings file; a missing or
// undeletable file is not reported.
bool delete_conf_file(ToolUi& ui, std::string_view folder, const ToolSettings& settings);

// edit_conf_file opens the folder's settings file for editing.
void edit_conf_file(ToolUi& ui, std::string_view folder, const ToolSettings& settings);

// index_on and index_off are the IndexON and IndexOFF buttons (index_off
// asks first) on the target folders.
void index_on(ToolUi& ui, const std::vector<std::string>& targets, const ToolSettings& settings);
void index_off(ToolUi& ui, const std::vector<std::string>& targets, const ToolSettings& settings);
