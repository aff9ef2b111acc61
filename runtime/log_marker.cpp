// The marker file vv.path: its three lines, and line 1 joined to the
// template's file name.
#include "runtime/log_marker.h"

#include "platform/file.h"
#include "runtime/log.h"
#include "runtime/log_path_text.h"
#include "runtime/number.h"

#include <algorithm>
#include <cstdint>

namespace {

// PathMarker holds the three lines of a vv.path file.
struct PathMarker {
    std::string directory;
    std::string level;
    std::string sizeLimit;
};

// parse_path_marker splits vv.path's text into its first three lines, each
// up to a line feed, carriage returns dropped.
PathMarker parse_path_marker(std::string_view text) {
    PathMarker marker;
    std::size_t pos = 0;
    for (std::string* line : {&marker.directory, &marker.level, &marker.sizeLimit}) {
        if (pos >= text.size()) {
            break;
        }
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        line->assign(text.substr(pos, end - pos));
        std::erase(*line, '\r');
        pos = end + 1;
    }
    return marker;
}

// redirect_directory gives line 1 of vv.path joined to the template's file
// name, or "" when line 1 is not used.
std::string redirect_directory(std::string line, std::string_view pathTemplate,
                               const vvLogPathServices& services) {
    // The folder's own "%" are doubled, so that the expansion writes its path
    // as it is instead of reading them as placeholders.
    std::size_t folderLength = 0;
    std::string escapedFolder;
    if (line.size() >= 2 && line[0] == '%' && line[1] == '%') {
        const std::size_t close = line.find("%%", 3);
        if (close != std::string::npos) {
            const std::string folder =
                services.specialFolder(std::string_view(line).substr(2, close - 2));
            folderLength = folder.size();
            for (const char c : folder) {
                escapedFolder += c;
                if (c == '%') {
                    escapedFolder += '%';
                }
            }
            line = line.substr(close + 2);
        }
    }
    const std::string_view fileName = pathTemplate.substr(vv_last_separator_end(pathTemplate));
    if (fileName.size() + folderLength + line.size() > 257) {
        return std::string();
    }
    // Joined as a path-append does: one separator between the two parts.
    std::string joined = escapedFolder + line;
    if (!joined.empty() && vv_last_separator_end(joined) != joined.size()) {
        joined += '\\';
    }
    joined += fileName;
    return joined;
}

} // namespace

bool vv_read_path_marker(std::string_view path, std::string& text) {
    return !path.empty() && platform::read_file_contents(path, text);
}

std::string vv_apply_path_marker(const vvLogPathInput& input, const std::string* markerText,
                                 const vvLogPathServices& services, bool anchored,
                                 vvLogPathState& state, bool& redirected) {
    redirected = false;
    std::string text(input.pathTemplate);
    if (markerText == nullptr) {
        return text;
    }
    const PathMarker marker = parse_path_marker(*markerText);
    if (!marker.directory.empty() &&
        !(anchored && vv_last_separator_end(input.pathTemplate) == 0)) {
        std::string joined = redirect_directory(marker.directory, input.pathTemplate, services);
        if (!joined.empty()) {
            text = std::move(joined);
            redirected = true;
        }
    }
    if (!marker.level.empty()) {
        const int level = vv_level_from_text(marker.level);
        if (level >= 0 && level <= 7) {
            state.threshold = level;
        }
    }
    if (!marker.sizeLimit.empty() && marker.sizeLimit[0] >= '0' && marker.sizeLimit[0] <= '9' &&
        state.sizeLimit != 0) {
        const std::uint32_t limit = parse_unsigned(marker.sizeLimit);
        state.sizeLimit = limit < 10 ? 10 : limit;
    }
    return text;
}
