# Cross build for Windows (x86_64) with Debian's MinGW-w64 (package mingw-w64).
# The POSIX thread model of the compiler provides std::thread; every run-time
# library is linked in, so each .exe runs on a bare Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DIRVANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DIRVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DIRVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${DIRVANE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DIRVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The tests run under Wine (Debian's wine and wine64).
find_program(DIRVANE_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(DIRVANE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${DIRVANE_WINE})
endif()
