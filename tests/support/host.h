// host_is_windows tells a test which system the build is for, where
// Windows and POSIX give different answers by design (paths, folders,
// the system's own text rules).
#pragma once

#ifdef _WIN32
inline constexpr bool host_is_windows = true;
#else
inline constexpr bool host_is_windows = false;
#endif
