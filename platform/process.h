// Process services: the environment block.
#pragma once

#include <string>
#include <vector>

namespace platform {

// environment_entries returns the process environment as "NAME=value" texts,
// in the order the system keeps them.
std::vector<std::string> environment_entries();

} // namespace platform
