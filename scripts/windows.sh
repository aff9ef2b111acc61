#!/usr/bin/env bash
# Cross-builds Dirvane.exe and Vanecfg.exe for Windows with MinGW-w64: the
# 64-bit build runs its unit and end-to-end tests under Wine; the 32-bit
# build (the release target) is checked for compiling and linking only,
# since these machines run no 32-bit programs.
# Usage: scripts/windows.sh [x86_64|i686]...   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(x86_64 i686)

# check_runs_bare fails when a program needs a DLL that a bare Windows does
# not have (the compiler's own run-time libraries must be linked in).
check_runs_bare() {
    local exe=$1 arch=$2 dll
    for dll in $("$arch-w64-mingw32-objdump" -p "$exe" | awk '/DLL Name:/ {print $3}'); do
        case "${dll,,}" in
        lib*.dll)
            echo "$exe needs $dll, which a bare Windows lacks" >&2
            return 1
            ;;
        esac
    done
    echo "$exe: needs only system DLLs"
}

for arch in "${targets[@]}"; do
    build=build-win-$arch
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDIRVANE_WERROR=ON \
        -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/$arch-w64-mingw32.cmake
    cmake --build "$build" -j "$jobs"
    for exe in "$build"/bin/*.exe; do
        check_runs_bare "$exe" "$arch"
    done
    if [ "$arch" = x86_64 ]; then
        ctest --test-dir "$build" --output-on-failure -j "$jobs"
    else
        echo "$build: built and linked (32-bit programs do not run here)"
    fi
done
