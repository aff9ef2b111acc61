// Profile files: INI files read and written one key at a time, as Vanecfg
// keeps its settings. Section and key names compare without regard to
// letter case, values are trimmed, a missing file or key gives the default,
// and a write creates the file, the section or the key and keeps every
// other line of the file as it was.
#pragma once

#include "platform/failure.h"

#include <string>
#include <string_view>

namespace platform {

// read_profile_string returns the value of `key` in `section` of the file
// at `path`, or `fallback` when the file, the section or the key is missing.
std::string read_profile_string(std::string_view path, std::string_view section,
                                std::string_view key, std::string_view fallback);

// write_profile_string sets `key` in `section` to `value`. Fails, with the
// system's reason, when the file could not be written or the entry would
// corrupt it.
Outcome<void> write_profile_string(std::string_view path, std::string_view section,
                                   std::string_view key, std::string_view value);

} // namespace platform
