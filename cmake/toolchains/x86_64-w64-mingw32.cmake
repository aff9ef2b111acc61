# Cross build for 64-bit Windows with Debian's MinGW-w64 (package
# mingw-w64); its tests run under Wine (Debian's wine and wine64).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

find_program(DIRVANE_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(DIRVANE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${DIRVANE_WINE})
endif()
