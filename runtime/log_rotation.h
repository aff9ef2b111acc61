// Rotation of log files: numbered backups that move a full log file aside.
#pragma once

#include <string>
#include <string_view>

// vv_rotate_log_file moves the file `path` aside to the first free name
// path.0000 ... path.9999 and deletes the backup after that one (so the
// backups form a ring with a gap after the newest). With all 10000 names
// taken, .0000 and .0001 are deleted and the file becomes .0000. Returns the
// backup's name, "" when the move failed.
std::string vv_rotate_log_file(std::string_view path);
