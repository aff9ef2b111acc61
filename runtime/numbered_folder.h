// The numbered folder of log path templates ("%*"): a folder 0000-9999 of
// the working directory that each process makes for itself.
#pragma once

#include <string>

// vv_numbered_directory returns the numbered directory of the current
// directory: on the first call (empty `cache`) the first of 0000-9999 that
// does not exist is created and its absolute path cached; the cached path is
// returned while that directory exists, "" otherwise.
std::string vv_numbered_directory(std::string& cache);
