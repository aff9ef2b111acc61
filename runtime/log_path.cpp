// Log paths: the steps of an expansion in order, the absolute path of its
// result and the containment of a location from the listed folder.
#include "runtime/log_path.h"

#include "platform/file.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "runtime/log_marker.h"
#include "runtime/log_path_text.h"
#include "runtime/log_placeholders.h"

namespace {

// has_drive: `text` starts with a drive, a letter and a colon.
bool has_drive(std::string_view text) {
    return text.size() >= 2 && text[1] == ':' &&
           ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

} // namespace

vvLogPathServices vv_system_log_path_services() {
    vvLogPathServices services;
    services.specialFolder = vv_special_folder_path;
    services.numberedDirectory = vv_numbered_directory;
    return services;
}

std::string vv_expand_log_text(const vvLogPathInput& input, const std::string* markerText,
                               const vvLogPathServices& services, vvLogPathState& state) {
    const std::string_view pathTemplate = input.pathTemplate;
    if (pathTemplate.empty()) {
        return std::string();
    }
    const char first = pathTemplate[0];
    const char second = pathTemplate.size() > 1 ? pathTemplate[1] : '\0';
    const bool driveRoot = has_drive(pathTemplate);
    const bool anchored = vv_is_path_separator(first) || driveRoot ||
                          (first == '%' && second != '\0' &&
                           std::string_view("#@$&?*").find(second) != std::string_view::npos);

    bool redirected = false;
    const std::string text =
        vv_apply_path_marker(input, markerText, services, anchored, state, redirected);
    // A relative location resolves inside the listed folder, whoever wrote
    // it: it gets the folder's confinement.
    state.inside =
        (input.templateFromFolder || redirected || (input.relativeInside && !anchored)) &&
        !input.folderLogs;
    state.insidePath.clear();
    state.refusal.clear();
    std::string expanded;
    if (!vv_expand_placeholders(text, input, services, state, expanded)) {
        return std::string();
    }
    return expanded;
}

std::string vv_log_absolute_path(std::string expanded) {
    if (expanded.empty()) {
        return std::string();
    }
    // Backslashes and slashes both separate directories; the file system
    // takes its own separator.
    const char separator = platform::path_separator();
    // Where paths have no drives (the separator is "/"), a text that starts
    // with one ("D:\logs", "D:x") names no file: it would otherwise become a
    // folder "D:" in the working directory.
    if (separator == '/' && has_drive(expanded)) {
        return std::string();
    }
    for (std::size_t pos = 0; pos < expanded.size();) {
        const std::size_t length = platform::char_length(expanded, pos);
        if (length == 1 && vv_is_path_separator(expanded[pos])) {
            expanded[pos] = separator;
        }
        pos += length;
    }
    std::string path = platform::absolute_path(expanded);
    if (path.empty() || path.size() > platform::max_path_length()) {
        return std::string();
    }
    return path;
}

platform::Outcome<std::string> vv_log_inside_path(std::string_view expanded) {
    // refused is the failure for an expanded text that is no such path.
    const auto refused = [&](const char* why) {
        return platform::Failure{"", std::string(expanded), why};
    };
    const char* why = nullptr;
    if (expanded.empty()) {
        return refused("is empty");
    }
    if (vv_is_path_separator(expanded[0])) {
        return refused("is absolute");
    }
    const char separator = platform::path_separator();
    std::string out;
    std::string component;
    bool single = true; // the component holds single-byte characters only
    // finish checks and appends one component; false when it leads out.
    auto finish = [&](bool last) {
        if (single && !component.empty() && component != "." &&
            component.find_first_not_of(". ") == std::string::npos) {
            why = "leads out of the folder (\"..\")";
            return false;
        }
        if (last && (component.empty() || component == ".")) {
            why = "names no file";
            return false;
        }
        if (!component.empty() && component != ".") {
            if (!out.empty()) {
                out += separator;
            }
            out += component;
        }
        component.clear();
        single = true;
        return true;
    };
    for (std::size_t pos = 0; pos < expanded.size();) {
        const std::size_t length = platform::char_length(expanded, pos);
        if (length == 1 && expanded[pos] == ':') {
            return refused("has a drive or a colon");
        }
        if (length == 1 && vv_is_path_separator(expanded[pos])) {
            if (!finish(false)) {
                return refused(why);
            }
        } else {
            component.append(expanded.substr(pos, length));
            single = single && length == 1;
        }
        pos += length;
    }
    if (!finish(true)) {
        return refused(why);
    }
    return out;
}

namespace {

// absolute_or_failure makes `expanded` absolute, saying in `state` why it
// has no path.
std::string absolute_or_failure(const std::string& expanded, vvLogPathState& state) {
    std::string path = vv_log_absolute_path(expanded);
    if (path.empty()) {
        state.failedPath = expanded;
        const std::string joined = platform::absolute_path(expanded);
        state.failure = joined.size() > platform::max_path_length()
                            ? "the path is longer than the system allows"
                            : "the path cannot be made absolute";
    }
    return path;
}

} // namespace

std::string vv_expand_log_path(const vvLogPathInput& input, vvLogPathState& state) {
    state.failure.clear();
    state.failedPath.clear();
    std::string markerText;
    const bool haveMarker = vv_read_path_marker(input.markerPath, markerText);
    const std::string expanded = vv_expand_log_text(input, haveMarker ? &markerText : nullptr,
                                                    vv_system_log_path_services(), state);
    if (expanded.empty()) {
        state.failedPath.assign(input.pathTemplate);
        state.failure = "the template cannot be expanded";
        return std::string();
    }
    if (state.inside) {
        // A location from the listed folder: checked by its text, opened
        // later component by component; nothing is created here.
        platform::Outcome<std::string> inside = vv_log_inside_path(expanded);
        if (!inside) {
            state.refusal = inside.failure().reason;
            state.failedPath = expanded;
            state.failure = state.refusal;
            return std::string();
        }
        std::string relative = std::move(inside).value();
        std::string path = absolute_or_failure(relative, state);
        if (!path.empty()) {
            state.insidePath = std::move(relative);
        }
        return path;
    }
    const std::string path = absolute_or_failure(expanded, state);
    if (path.empty()) {
        return std::string();
    }
    const std::size_t last = platform::find_last_char(path, platform::path_separator());
    const std::string directory = path.substr(0, last + 1);
    if (platform::path_kind(directory) != platform::PathKind::directory) {
        if (const platform::Outcome<void> made = platform::create_directories(directory); !made) {
            state.failedPath = path;
            state.failure = "its folder cannot be created: " + made.failure().reason;
            return std::string();
        }
    }
    return path;
}
