# Cross build for 32-bit Windows, the release target, with Debian's
# MinGW-w64 (package mingw-w64). 32-bit programs do not run on these machines
# (the kernel runs no 32-bit code): this build is checked for compiling and
# linking only.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
