// The directory scan that fills the entry list.
#pragma once

#include "cgi/dir_entry.h"

#include <string_view>
#include <vector>

// scan_dir appends the entries that match `pattern` (relative to the working
// directory) to `list`, in the order the file system returns them; "." and
// ".." are left out. Returns false, with `list` unchanged, when the pattern is
// empty, nothing is to be included or the folder cannot be searched; returns
// false, keeping the entries read before, when a read error ends the scan
// part-way (the trace says so).
bool scan_dir(std::vector<DirEntry>& list, bool includeFiles, bool includeDirs,
              std::string_view pattern);
