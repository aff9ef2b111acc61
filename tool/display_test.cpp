// The display test: Dirvane is started directly (no command interpreter, so
// nothing in the user agent or the folder is interpreted), in the folder,
// with the request's environment, and waited for before its page is opened.
#include "tool/display_test.h"

#include "tool/folder_switch.h"

#include "platform/file.h"
#include "platform/process_run.h"

namespace {

constexpr std::string_view no_cgi_message = " CGI実行ファイルが見つかりません。　";
constexpr std::string_view old_output_message = " 以前に作成したHTMLファイルを削除できません。　";
constexpr std::string_view cannot_run_message = " CGIを実行できません。　";
constexpr std::string_view no_output_message = " HTMLファイルを出力できません。　";
constexpr std::string_view cannot_open_message = " HTMLファイルを開けません。　";

constexpr int output_files = 10; // Dirvane_test0.html ... Dirvane_test9.html

} // namespace

bool choose_test_folder(ToolUi& ui, const std::vector<std::string>& selectedItems,
                        const std::string& treeFolder, std::string& folder) {
    if (selectedItems.size() > 1) {
        ui.show_error(one_folder_message);
        return false;
    }
    folder = selectedItems.empty() ? treeFolder : selectedItems.front();
    return true;
}

DisplayTest::DisplayTest(std::string_view toolFolder, int timeLimitMs)
    : m_testBase(tool_file_path(toolFolder, "Dirvane_test")), m_timeLimitMs(timeLimitMs) {}

std::string DisplayTest::output_path() const {
    return m_testBase + std::to_string(m_counter) + ".html";
}

bool DisplayTest::run(ToolUi& ui, std::string_view folder, const ToolSettings& settings) {
    const std::string output = output_path();
    platform::delete_file(output); // checked below, once the folder is known good

    if (folder.empty() || platform::path_kind(folder) != platform::PathKind::directory) {
        ui.show_error(select_folder_message);
        return false;
    }
    const std::string cgi = get_cgi_path(settings);
    if (platform::path_kind(cgi) != platform::PathKind::file) {
        ui.show_error(no_cgi_message);
        return false;
    }
    const std::string confName = get_conf_name(settings);
    if (!valid_conf_name(confName)) {
        ui.show_error(conf_name_message);
        return false;
    }
    const std::string confFile = tool_file_path(folder, confName);
    if (platform::path_kind(confFile) == platform::PathKind::missing) {
        ui.show_error(" " + confName + " がありません。　");
        return false;
    }
    if (platform::path_kind(output) != platform::PathKind::missing) {
        ui.show_error(old_output_message);
        return false;
    }

    // Dirvane writes its page to its standard output when it cannot create
    // the output file: the test finds out first whether the file can be
    // made, and tells why not.
    if (const platform::Outcome<void> made = platform::write_new_file(output, ""); !made) {
        ui.show_error(failure_message(no_output_message, output, made.failure().reason));
        return false;
    }
    platform::delete_file(output);

    const std::vector<std::string> env = {
        "SERVER_NAME=TestServer",
        "HTTP_USER_AGENT=" + settings.userAgent,
        "SCRIPT_NAME=/Dirvane/test/" + confName,
    };
    const platform::Outcome<platform::ProcessEnd> run =
        platform::run_process_in({cgi, confFile, output}, folder, env, m_timeLimitMs);
    if (!run) {
        ui.show_error(cannot_run_message);
        return false;
    }
    // A page cut short by the time limit is no page: it is not opened.
    if (run.value().timedOut) {
        platform::delete_file(output);
        ui.show_error(no_output_message);
        return false;
    }
    if (platform::path_kind(output) != platform::PathKind::file) {
        ui.show_error(no_output_message);
        return false;
    }
    if (!ui.open_document(output)) {
        ui.show_error(cannot_open_message);
        return false;
    }
    m_counter = (m_counter + 1) % output_files;
    return true;
}
