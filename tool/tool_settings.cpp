// Vanecfg's tool settings: the keys of section "tool" with their defaults,
// the user-agent list rules and the paths the other windows ask for.
#include "tool/tool_settings.h"

#include "platform/file.h"
#include "platform/fs.h"
#include "platform/process_run.h"
#include "platform/profile.h"

#include <charconv>
#include <optional>

namespace {

// is_separator tells whether `c` ends a folder name in a path typed by the
// user: this system's separator or "/".
bool is_separator(char c) {
    return c == platform::path_separator() || c == '/';
}

// default_user_agent is the default of key ua<i>: "Mozilla/5.0" down to
// "Mozilla/1.0" for 0 to 4, "DoCoMo/5.0" down to "DoCoMo/1.0" for 5 to 9.
std::string default_user_agent(std::size_t i) {
    return i < 5 ? "Mozilla/" + std::to_string(5 - i) + ".0"
                 : "DoCoMo/" + std::to_string(10 - i) + ".0";
}

std::string user_agent_key(std::size_t i) {
    return "ua" + std::to_string(i);
}

std::string read_tool(std::string_view path, std::string_view key, std::string_view fallback) {
    return platform::read_profile_string(path, tool_section, key, fallback);
}

bool names_file(const std::string& path) {
    return !path.empty() && platform::path_kind(path) == platform::PathKind::file;
}

} // namespace

std::string tool_file_path(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && !is_separator(path.back())) {
        path += platform::path_separator();
    }
    path += name;
    return path;
}

std::string default_cgi_folder(std::string_view toolFolder) {
#ifdef DIRVANE_CGI_FOLDER
    (void)toolFolder;
    return DIRVANE_CGI_FOLDER;
#else
    return std::string(toolFolder);
#endif
}

std::string default_template(std::string_view toolFolder) {
#ifdef DIRVANE_TEMPLATE_FILE
    (void)toolFolder;
    return DIRVANE_TEMPLATE_FILE;
#else
    return tool_file_path(toolFolder, std::string(default_conf_name) + ".txt");
#endif
}

void load_tool_settings(ToolSettings& settings, std::string_view settingsPath,
                        std::string_view toolFolder) {
    settings.iniDir = read_tool(settingsPath, "inidir", default_cgi_folder(toolFolder));
    // One trailing separator goes; the root folder itself stays as it is.
    // A "\" goes too, the file may have been written on Windows, but not
    // the trail byte of a Shift_JIS character (after a byte above 0x7F).
    const std::size_t size = settings.iniDir.size();
    if (size > 1 && (is_separator(settings.iniDir.back()) ||
                     (settings.iniDir.back() == '\\' &&
                      static_cast<unsigned char>(settings.iniDir[size - 2]) < 0x80))) {
        settings.iniDir.pop_back();
    }
    settings.confName = read_tool(settingsPath, "confname", default_conf_name);
    settings.confTemplate = read_tool(settingsPath, "template", default_template(toolFolder));
    settings.userAgents.clear();
    for (std::size_t i = 0; i < user_agent_slots; ++i) {
        std::string agent = read_tool(settingsPath, user_agent_key(i), "");
        settings.userAgents.push_back(agent.empty() ? default_user_agent(i) : std::move(agent));
    }
    settings.userAgent = settings.userAgents.front();
}

namespace {

// SettingsWriter writes keys of section "tool" and keeps the failure of the
// first write that failed.
class SettingsWriter {
  public:
    explicit SettingsWriter(std::string_view path) : m_path(path) {}

    void write(std::string_view key, std::string_view value) {
        const platform::Outcome<void> written =
            platform::write_profile_string(m_path, tool_section, key, value);
        if (!written && !m_failure) {
            m_failure = written.failure();
        }
    }

    bool ok() const { return !m_failure; }

    // report shows save_error_message with the file and the system's reason
    // when a write failed; returns ok().
    bool report(ToolUi& ui) const {
        if (m_failure)
            ui.show_error(failure_message(save_error_message, m_path, m_failure->reason));
        return ok();
    }

  private:
    std::string_view m_path;
    std::optional<platform::Failure> m_failure;
};

void write_settings(SettingsWriter& writer, ToolSettings& settings) {
    writer.write("inidir", settings.iniDir);
    writer.write("confname", settings.confName);
    writer.write("template", settings.confTemplate);
    insert_user_agent(settings.userAgents, settings.userAgent);
    for (std::size_t i = 0; i < settings.userAgents.size(); ++i) {
        writer.write(user_agent_key(i), settings.userAgents[i]);
    }
}

} // namespace

bool save_tool_settings(ToolSettings& settings, std::string_view settingsPath) {
    SettingsWriter writer(settingsPath);
    write_settings(writer, settings);
    return writer.ok();
}

bool save_tool_settings(ToolUi& ui, ToolSettings& settings, std::string_view settingsPath) {
    SettingsWriter writer(settingsPath);
    write_settings(writer, settings);
    return writer.report(ui);
}

void insert_user_agent(std::vector<std::string>& list, std::string_view text) {
    if (!text.empty() && (list.empty() || list.front() != text)) {
        list.insert(list.begin(), std::string(text));
    }
    if (list.size() > user_agent_slots) {
        list.resize(user_agent_slots);
    }
}

namespace {

// in_cgi_folder is the absolute path of `name` in the folder of the field
// "inidir": an empty field is the root folder, a relative one lies in the
// tool folder (the working directory). Resolved now, so that no program is
// ever looked for relative to a folder that a child is started in.
std::string in_cgi_folder(const ToolSettings& settings, std::string_view name) {
    const std::string folder =
        settings.iniDir.empty() ? std::string(1, platform::path_separator()) : settings.iniDir;
    return platform::absolute_path(tool_file_path(folder, name));
}

} // namespace

std::string get_ini_path(const ToolSettings& settings) {
    return in_cgi_folder(settings, "Dirvane.ini");
}

std::string get_cgi_path(const ToolSettings& settings) {
    return in_cgi_folder(settings,
                         std::string("Dirvane") + std::string(platform::executable_suffix()));
}

bool valid_conf_name(std::string_view name) {
    if (name == "." || name == "..")
        return false;
    const bool backslashes = platform::path_separator() == '\\';
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (name[i] == '/' || name[i] == platform::path_separator())
            return false;
        // Where "\\" separates, names are Shift_JIS: a trail byte 0x5C is
        // part of its character.
        if (backslashes && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)))
            ++i;
    }
    return true;
}

std::string get_conf_name(const ToolSettings& settings) {
    return settings.confName.empty() ? std::string(default_conf_name) : settings.confName;
}

std::string get_template_path(const ToolSettings& settings) {
    return names_file(settings.confTemplate) ? settings.confTemplate : std::string();
}

std::string get_editor_path(const ToolSettings& settings) {
    // Absolute: the program started is the file that was checked.
    return names_file(settings.editor) ? platform::absolute_path(settings.editor) : std::string();
}

void open_for_editing(ToolUi& ui, const ToolSettings& settings, const std::string& file) {
    const std::string editor = get_editor_path(settings);
    if (!editor.empty()) {
        ui.start_program(editor, file.empty() ? std::vector<std::string>()
                                              : std::vector<std::string>{file});
    } else if (!file.empty()) {
        ui.open_document(file);
    }
}

bool create_default_tool_settings(std::string_view settingsPath) {
    if (platform::path_kind(settingsPath) != platform::PathKind::missing) {
        return true;
    }
    return static_cast<bool>(platform::write_new_file(settingsPath, default_tool_settings_text));
}

bool read_show_files(std::string_view settingsPath) {
    // Read as a number, as a boolean setting is: non-zero is true, text
    // that is no number gives the default (false).
    const std::string text = read_tool(settingsPath, "swfile", "0");
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') {
        ++first;
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && value != 0;
}

bool write_show_files(std::string_view settingsPath, bool showFiles) {
    return static_cast<bool>(platform::write_profile_string(settingsPath, tool_section, "swfile",
                                                            showFiles ? "1" : "0"));
}

bool save_show_files(ToolUi& ui, std::string_view settingsPath, bool showFiles) {
    SettingsWriter writer(settingsPath);
    writer.write("swfile", showFiles ? "1" : "0");
    return writer.report(ui);
}
