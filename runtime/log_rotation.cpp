// Rotation of log files: a ring of 10000 numbered backups beside the file.
#include "runtime/log_rotation.h"

#include "platform/file.h"
#include "runtime/log_path_text.h"

std::string vv_rotate_log_file(std::string_view path) {
    const std::string base(path);
    auto backup = [&base](unsigned n) { return base + "." + vv_four_digits(n); };
    for (unsigned n = 0; n < 10000; ++n) {
        const std::string candidate = backup(n);
        if (platform::path_kind(candidate) == platform::PathKind::missing) {
            platform::delete_file(backup((n + 1) % 10000));
            return platform::move_file(base, candidate) ? candidate : std::string();
        }
    }
    platform::delete_file(backup(0));
    platform::delete_file(backup(1));
    const std::string first = backup(0);
    return platform::move_file(base, first) ? first : std::string();
}
