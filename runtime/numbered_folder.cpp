// The numbered folder: the first free number of the working directory.
#include "runtime/numbered_folder.h"

#include "platform/file.h"
#include "runtime/log_path_text.h"

std::string vv_numbered_directory(std::string& cache) {
    if (cache.empty()) {
        for (unsigned n = 0; n < 10000; ++n) {
            const std::string path = platform::absolute_path(vv_four_digits(n));
            if (path.empty()) {
                break;
            }
            if (platform::path_kind(path) != platform::PathKind::missing) {
                continue;
            }
            if (platform::create_directories(path)) {
                cache = path;
            }
            break;
        }
    }
    if (!cache.empty() && platform::path_kind(cache) == platform::PathKind::directory) {
        return cache;
    }
    return std::string();
}
