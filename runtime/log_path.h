// Log paths: the expansion of a log's path template into an absolute file
// name (marker file vv.path, placeholders, special folders, numbered
// directories, missing directories created), and whether a location from
// the listed folder stays inside it. The steps live in units of their own;
// this header also brings the special folders, the numbered folder and the
// rotation of log files.
#pragma once

#include "platform/failure.h"
#include "runtime/log.h"
#include "runtime/log_rotation.h"
#include "runtime/numbered_folder.h"
#include "runtime/shell_folders.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// vvLogPathInput is what an expansion reads.
struct vvLogPathInput {
    std::string_view pathTemplate; // "\" separates directories
    vvLogTime openTime;            // local time at the open
    std::string_view stamp;        // the log's 17-digit construction stamp
    unsigned openCounter = 0;      // 0-9999, before the open advances it
    std::uint32_t processId = 0;
    std::string_view markerPath; // absolute path of "vv.path" ("" for none)
    // The template comes from the listed folder (its settings file), not
    // from the administrator.
    bool templateFromFolder = false;
    // A relative template resolves inside the listed folder (the working
    // directory), whoever wrote it: it stays inside as the folder's own.
    bool relativeInside = false;
    // The administrator lets a location from the listed folder lead anywhere.
    bool folderLogs = false;
};

// vvLogPathState is what an expansion may change: the numbered-directory
// cache, and the threshold and size limit that vv.path may override.
struct vvLogPathState {
    std::string numberedDirectory;
    int threshold = 0;
    unsigned sizeLimit = 0; // in 1000 bytes; 0: no limit (then never changed)
    // Set by each expansion. A location from the listed folder (a template
    // from the folder, or vv.path's line 1) must stay inside the working
    // directory (unless folderLogs): `inside` is set and `insidePath` holds
    // the path relative to it, to be opened there without following links.
    // `refusal` says why such a location has no file.
    bool inside = false;
    std::string insidePath;
    std::string refusal;
    // Why the expansion gave no path, and the path (or text) it was
    // about; both empty when it gave one.
    std::string failure;
    std::string failedPath;
};

// vvLogPathServices are the look-ups of the system an expansion makes: a
// special folder's path by name ("" when unknown) and the numbered directory
// (see vv_numbered_directory).
struct vvLogPathServices {
    std::function<std::string(std::string_view name)> specialFolder;
    std::function<std::string(std::string& cache)> numberedDirectory;
};

// vv_system_log_path_services returns the look-ups of this system.
vvLogPathServices vv_system_log_path_services();

// vv_expand_log_text does the text steps of an expansion, reading nothing
// and creating nothing: vv.path's lines (`markerText`, the file's text, or
// null without the file) and the placeholders. Returns the text of at most
// 259 characters, "" when the expansion fails.
std::string vv_expand_log_text(const vvLogPathInput& input, const std::string* markerText,
                               const vvLogPathServices& services, vvLogPathState& state);

// vv_log_absolute_path makes an expanded text an absolute file system path
// ("\" becomes "/") against the current directory; "" when that fails or the
// path exceeds the system's path limit (platform::max_path_length).
std::string vv_log_absolute_path(std::string expanded);

// vv_log_inside_path returns an expanded text as a path below the working
// directory in the system's separators, or a failure whose reason says why
// it is none: an absolute path, a drive or any colon, a ".." component (or
// one of dots and blanks only), or no file name.
platform::Outcome<std::string> vv_log_inside_path(std::string_view expanded);

// vv_expand_log_path turns the template into the absolute path of the log
// file, creating its directory with all missing parents. Returns "" when the
// expansion fails (empty template, no room for a placeholder, path too long,
// directory not creatable, a location from the listed folder that leads out
// of it). For a location that must stay inside (state.inside) nothing is
// created: the open makes the missing folders.
std::string vv_expand_log_path(const vvLogPathInput& input, vvLogPathState& state);
