// The fixed input of the log path tests: a template expanded with a known
// open time, stamp, counter and process id in the working directory.
#pragma once

#include "runtime/log_path.h"

#include <string>
#include <string_view>

// Open time 2026/03/04 05:06:07, stamp of 2004/11/05 09:07:12.345, pid 1234.
inline vvLogPathInput fixed_input(std::string_view pathTemplate, std::string_view marker = "") {
    vvLogPathInput input;
    input.pathTemplate = pathTemplate;
    input.openTime = vvLogTime{2026, 3, 4, 5, 6, 7, 890};
    input.stamp = "20041105090712345";
    input.openCounter = 7;
    input.processId = 1234;
    input.markerPath = marker;
    // The expansion as the administrator may have it: locations from the
    // folder lead anywhere (the tests of the folder limits run the program).
    input.folderLogs = true;
    return input;
}

inline std::string expand(std::string_view pathTemplate, std::string_view marker = "") {
    vvLogPathState state;
    state.threshold = 7;
    state.sizeLimit = 4000;
    return vv_expand_log_path(fixed_input(pathTemplate, marker), state);
}
