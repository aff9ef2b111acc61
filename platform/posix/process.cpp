// POSIX only: the environment block is the `environ` array.
#include "platform/process.h"

#include <unistd.h>

namespace platform {

std::vector<std::string> environment_entries() {
    std::vector<std::string> entries;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e)
        entries.emplace_back(*e);
    return entries;
}

} // namespace platform
