// Desktop services for Vanecfg: opening a file with its default program and
// starting a program without waiting for it. Nothing goes through a shell.
#pragma once

#include <string>
#include <vector>

namespace platform {

// open_with_default_program opens `path` with the desktop's program for it
// (xdg-open); false when that could not be started.
bool open_with_default_program(const std::string& path);

// start_detached starts `argv[0]` with the arguments `argv` and does not
// wait for it; false when it could not be started.
bool start_detached(const std::vector<std::string>& argv);

} // namespace platform
