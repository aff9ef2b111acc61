// The marker file vv.path of a listed folder: line 1 a directory for the
// log (a special folder as "%%NAME%%" at its start), line 2 a level, line 3
// a size limit in 1000 bytes.
#pragma once

#include "runtime/log_path.h"

#include <string>
#include <string_view>

// vv_read_path_marker reads vv.path as the settings files are read: a
// regular file of bounded size only, so that a named pipe or a device in the
// folder holds nothing up. False for an empty path or no readable file.
bool vv_read_path_marker(std::string_view path, std::string& text);

// vv_apply_path_marker returns the text to expand: the template, or line 1
// of vv.path (`markerText`, null without the file) joined to the template's
// file name; `redirected` tells whether line 1 gave the directory. An
// `anchored` template without a directory of its own keeps its place. Lines
// 2 and 3 override state.threshold and state.sizeLimit (a log without a
// limit keeps none).
std::string vv_apply_path_marker(const vvLogPathInput& input, const std::string* markerText,
                                 const vvLogPathServices& services, bool anchored,
                                 vvLogPathState& state, bool& redirected);
