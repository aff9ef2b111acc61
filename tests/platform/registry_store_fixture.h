// The store a registry store test works on, given by the file of the
// system's own cases: a fresh file on POSIX, a fresh key of the current
// user's on Windows, so that nothing of the machine's is read or changed.
#pragma once

#include "platform/registry.h"

#include <string>

// fresh_store_path returns a store path that nobody else uses and that holds
// nothing yet.
std::string fresh_store_path();
