# Cross build for Windows (i686) with Debian's MinGW-w64 (package mingw-w64).
# The POSIX thread model of the compiler provides std::thread; every run-time
# library is linked in, so each .exe runs on a bare Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(DIRVANE_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${DIRVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DIRVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${DIRVANE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DIRVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# 32-bit programs do not run on these machines (the kernel runs no 32-bit
# code): this build is checked for compiling and linking only.
