# The part of the MinGW-w64 toolchain files that both targets share: the
# including file sets CMAKE_SYSTEM_PROCESSOR first. The POSIX thread model
# of the compiler provides std::thread; every run-time library is linked in
# (see the top CMakeLists.txt), so each .exe runs on a bare Windows.
set(CMAKE_SYSTEM_NAME Windows)

set(DIRVANE_MINGW_TRIPLET ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${DIRVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DIRVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${DIRVANE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DIRVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
