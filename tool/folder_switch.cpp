// The main window's folder switching: a folder lists its entries exactly
// while it holds the folder settings file, which IndexON creates from the
// template and IndexOFF deletes.
#include "tool/folder_switch.h"

#include "platform/file.h"

namespace {

bool is_folder(std::string_view path) {
    return !path.empty() && platform::path_kind(path) == platform::PathKind::directory;
}

// usable_folder tells whether a button may act on `folder`: an existing
// folder, and a folder settings file name that stays inside it (a name
// from a hand-edited tool settings file, too). Shows why not.
bool usable_folder(ToolUi& ui, std::string_view folder, const ToolSettings& settings) {
    if (!is_folder(folder)) {
        ui.show_error(select_folder_message);
        return false;
    }
    if (!valid_conf_name(get_conf_name(settings))) {
        ui.show_error(conf_name_message);
        return false;
    }
    return true;
}

std::string conf_file_path(std::string_view folder, const ToolSettings& settings) {
    return tool_file_path(folder, get_conf_name(settings));
}

// split_template_lines cuts `text` into lines; CR LF, LF and CR each end a
// line, and a final line end makes no empty line after it.
std::vector<std::string> split_template_lines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

} // namespace

std::vector<std::string> target_folders(const std::vector<std::string>& selectedItems,
                                        const std::string& treeFolder) {
    if (selectedItems.empty())
        return {treeFolder};
    // Selected files and virtual objects are skipped without a word.
    std::vector<std::string> folders;
    for (const std::string& item : selectedItems) {
        if (is_folder(item))
            folders.push_back(item);
    }
    return folders;
}

std::string status_line(std::string_view treeFolder, const ToolSettings& settings) {
    if (treeFolder.empty())
        return std::string();
    if (!is_folder(treeFolder))
        return std::string(missing_folder_status) + std::string(treeFolder);
    const bool on =
        platform::path_kind(conf_file_path(treeFolder, settings)) != platform::PathKind::missing;
    return std::string(on ? "[IndexON] " : "[IndexOFF] ") + std::string(treeFolder);
}

bool conf_file_lines(const ToolSettings& settings, std::vector<std::string>& lines) {
    lines.clear();
    const std::string templatePath = get_template_path(settings);
    if (templatePath.empty()) {
        lines = {"# " + get_conf_name(settings), ""};
        return true;
    }
    std::string text;
    if (!platform::read_file_contents(templatePath, text))
        return false;
    lines = split_template_lines(text);
    return true;
}

bool create_conf_file(ToolUi& ui, std::string_view folder, const std::vector<std::string>& lines,
                      const ToolSettings& settings) {
    if (!usable_folder(ui, folder, settings))
        return false;
    const std::string path = conf_file_path(folder, settings);
    // A folder settings file that exists is never overwritten.
    if (platform::path_kind(path) != platform::PathKind::missing)
        return true;
    std::string text;
    for (const std::string& line : lines)
        text.append(line).append("\r\n");
    if (const platform::Outcome<void> written = platform::write_new_file(path, text); !written) {
        // Created meanwhile by someone else counts as there.
        if (platform::path_kind(path) == platform::PathKind::file)
            return true;
        ui.show_error(failure_message(create_error_message, path, written.failure().reason));
        return false;
    }
    return true;
}

bool delete_conf_file(ToolUi& ui, std::string_view folder, const ToolSettings& settings) {
    if (!usable_folder(ui, folder, settings))
        return false;
    return platform::delete_file(conf_file_path(folder, settings));
}

void edit_conf_file(ToolUi& ui, std::string_view folder, const ToolSettings& settings) {
    if (!usable_folder(ui, folder, settings))
        return;
    // The file need not exist: the editor may create it.
    open_for_editing(ui, settings, conf_file_path(folder, settings));
}

void index_on(ToolUi& ui, const std::vector<std::string>& targets, const ToolSettings& settings) {
    std::vector<std::string> lines;
    if (!conf_file_lines(settings, lines)) {
        // Nothing is written when the template exists but cannot be read.
        ui.show_error(" " + get_template_path(settings) + " を読み込めません。　");
        return;
    }
    for (const std::string& folder : targets)
        create_conf_file(ui, folder, lines, settings);
}

void index_off(ToolUi& ui, const std::vector<std::string>& targets, const ToolSettings& settings) {
    if (!ui.ask_ok_cancel(" 選択されたフォルダの " + get_conf_name(settings) + " を削除します。　"))
        return;
    for (const std::string& folder : targets)
        delete_conf_file(ui, folder, settings);
}
